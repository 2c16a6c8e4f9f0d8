// What a session relays, watched without being touched: the RTCM 3 scanner fed with the bytes
// as they pass, and, for the Rover, the receiver's solution; now and then the summary line, the
// solution and any warnings due put into the session's status for the front ends (the live
// line, the log and the service status).
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ntrip/receiver_position.h"
#include "rtcm/rtcm_scanner.h"
#include "rtcm/stream_warnings.h"
#include "session/session_status.h"
#include "session/solution_warnings.h"
#include "session/solution_watch.h"

namespace quillon {

// How often the summary is made: the front ends show it once a second at most.
inline constexpr std::uint32_t kStreamPublishMs = 1000;

class StreamWatch {
 public:
  explicit StreamWatch(StreamSide side) : side_(side), warnings_(side) {}

  // The connection begins at tick `now`: what the status said of the one before goes. (A
  // session keeps one watch per connection.)
  void Begin(SessionStatus& status, std::uint32_t now);
  // The stream's next bytes (the Rover's from the caster, the Base's from the receiver).
  void Scan(std::string_view bytes, std::uint32_t now) { scanner_.Scan(bytes, now); }
  // What the Rover sends upstream, after the override: the receiver's latest GGA position, from
  // which the station's distance is told.
  void TakeUpstream(std::string_view block) { position_.Take(block); }
  // What the Rover's receiver sent, before the override: its solution.
  void TakeFromReceiver(std::string_view block, std::uint32_t now) { solution_.Take(block, now); }
  // At most every kStreamPublishMs: the summary line (once a frame has come), the Rover's
  // solution, and the warnings newly due, into `status`.
  void Publish(SessionStatus& status, std::uint32_t now);

 private:
  const StreamSide side_;
  RtcmScanner scanner_;
  StreamWarnings warnings_;
  ReceiverPosition position_;
  SolutionWatch solution_;
  SolutionWarnings solutionWarnings_;
  std::uint32_t begin_ = 0;
  std::optional<std::uint32_t> published_;
};

}  // namespace quillon
