#include "session/stream_watch.h"

#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "rtcm/rtcm_summary.h"

namespace quillon {

void StreamWatch::Begin(SessionStatus& status, std::uint32_t now) {
  begin_ = now;
  published_.reset();
  std::lock_guard guard(status.lock);
  status.streamLine.clear();
  status.streamWarnings.clear();
}

void StreamWatch::Publish(SessionStatus& status, std::uint32_t now) {
  if (published_ && now - *published_ < kStreamPublishMs) return;
  published_ = now;
  const RtcmSummary summary = scanner_.Summary(now);
  // Until a frame has come there is nothing to show; the warnings tell what the bytes are.
  std::string line;
  if (summary.frames > 0) {
    line = side_ == StreamSide::kRover ? RoverStreamLine(summary, position_.Latest())
                                       : BaseStreamLine(summary);
  }
  std::vector<StreamWarning> due = warnings_.Due(summary, now - begin_);
  std::lock_guard guard(status.lock);
  status.streamLine = std::move(line);
  for (StreamWarning& warning : due) status.streamWarnings.push_back(std::move(warning.text));
}

}  // namespace quillon
