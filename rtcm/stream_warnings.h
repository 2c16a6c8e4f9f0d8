// What is wrong with a correction stream, said once each as it becomes clear: a receiver that
// sends no RTCM 3 (NMEA instead, or noise from a wrong baud rate), frames that fail their CRC,
// a stream without the station position or without observations. They are observations only:
// the session relays or uploads every byte whatever they say. Pure: the caller passes the
// scanner's summary and the time, from any thread that owns the object.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "rtcm/rtcm_summary.h"

namespace quillon {

// Which end of the relay the stream is watched at.
enum class StreamSide {
  kBase,   // the receiver's output, uploaded to the caster
  kRover,  // the caster's stream, written to the receiver
};

enum class StreamWarningKind {
  kNoFrames,           // no RTCM 3 frame in the first kFirstFrameWindowMs
  kCrcFailures,        // Base: more than kMaxCrcFailurePercent of the frames failed their CRC
  kNoStationPosition,  // Base: no 1005 or 1006 within kStationWindowMs of the first frame
  kNoObservations,     // Base: no MSM or legacy observations within kStationWindowMs likewise
};

struct StreamWarning {
  StreamWarningKind kind;
  std::string text;  // one line that says what to do
};

// A stream that holds RTCM 3 shows a frame within this time.
inline constexpr std::uint32_t kFirstFrameWindowMs = 10'000;
// Station and observation messages come at least this often in a stream a rover can use.
inline constexpr std::uint32_t kStationWindowMs = 30'000;
// CRC failures are judged once this many frames have checked, and are too many above this share
// of all frames tried: a line at the right baud rate loses hardly any.
inline constexpr std::uint64_t kMinFramesForCrcCheck = 20;
inline constexpr std::uint64_t kMaxCrcFailurePercent = 3;

class StreamWarnings {
 public:
  explicit StreamWarnings(StreamSide side) : side_(side) {}

  // The warnings newly due for `summary`, the stream as scanned `elapsedMs` after the session
  // began to relay it (a tick difference of the session's clock); each kind is returned once in
  // the object's life. Call it as often as convenient (once a second will do): a check is
  // decided at the first call after its time, and once decided no longer looks at the time (a
  // tick that wraps after 49 days changes nothing). The Rover is told only of a stream that has
  // sent bytes but no RTCM 3 frame; the other kinds concern the Base.
  std::vector<StreamWarning> Due(const RtcmSummary& summary, std::uint32_t elapsedMs);

 private:
  bool Decided(StreamWarningKind kind) const;
  void Decide(StreamWarningKind kind);

  const StreamSide side_;
  unsigned decided_ = 0;  // a bit per kind: said, or found needless
  bool framesSeen_ = false;
  std::uint32_t firstFrameMs_ = 0;  // elapsed time of the first call that saw frames
};

}  // namespace quillon
