#include "session/stream_watch.h"

#include <iterator>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "rtcm/rtcm_summary.h"

namespace quillon {

void StreamWatch::Begin(SessionStatus& status, std::uint32_t now) {
  begin_ = now;
  published_.reset();
  solution_.Begin(now);
  std::lock_guard guard(status.lock);
  status.streamLine.clear();
  status.streamWarnings.clear();
  status.solution.reset();
  status.solutionTimes = {};
  status.receiverPosition.reset();
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
  std::vector<std::string> due;
  for (StreamWarning& warning : warnings_.Due(summary, now - begin_)) {
    due.push_back(std::move(warning.text));
  }
  if (side_ == StreamSide::kRover) {
    solution_.Look(now);
    std::vector<std::string> more = solutionWarnings_.Due(solution_, summary, now - begin_);
    due.insert(due.end(), std::make_move_iterator(more.begin()),
               std::make_move_iterator(more.end()));
  }
  std::lock_guard guard(status.lock);
  status.streamLine = std::move(line);
  for (std::string& warning : due) status.streamWarnings.push_back(std::move(warning));
  status.solution = solution_.Current();
  status.solutionTimes = solution_.Times();
  status.receiverPosition = position_.Latest();
}

}  // namespace quillon
