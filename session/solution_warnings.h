// What the receiver's solution says of a Rover's setup, said once each on a connection as it
// becomes clear: corrections arrive but the receiver does not use them, or uses old ones or
// another station's; or a caster waits for the receiver's position that never comes. Pure: the
// caller passes the solution, the stream's summary and the time.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "rtcm/rtcm_summary.h"
#include "session/solution_watch.h"

namespace quillon {

// Corrections that have come this long without a solution that uses them are not used.
inline constexpr std::uint32_t kUnusedCorrectionsMs = 60'000;
// Corrections older than this, while the stream arrives, are not the stream's.
inline constexpr double kMaxCorrectionAgeSeconds = 10.0;
// A stream arrives while its last frame came within this time.
inline constexpr std::uint32_t kStreamArrivingMs = 5'000;

class SolutionWarnings {
 public:
  // The warnings newly due, each at most once in the object's life, `elapsedMs` after the
  // connect (a tick difference of the session's clock), with `solution` looked at just now.
  std::vector<std::string> Due(const SolutionWatch& solution, const RtcmSummary& summary,
                               std::uint32_t elapsedMs);

 private:
  enum Kind { kUnused, kOldCorrections, kOtherStation, kNoGga, kKinds };

  std::array<bool, kKinds> said_{};
  std::uint64_t frames_ = 0;
  std::uint64_t bytes_ = 0;
  std::optional<std::uint32_t> firstFrameMs_;
  std::uint32_t lastFrameMs_ = 0;
  std::uint32_t lastBytesMs_ = 0;
};

}  // namespace quillon
