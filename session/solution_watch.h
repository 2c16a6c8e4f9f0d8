// The receiver's solution on one connection of the Rover, from the GGA sentences among what the
// receiver sends, as it sent them (before any override rewrites them): the latest one while it
// stands, when the first RTK fixed came and how long it stayed fixed.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

#include "ntrip/receiver_solution.h"
#include "ntrip/sentence_splitter.h"

namespace quillon {

// A GGA's solution stands this long: a receiver silent for longer has none to show.
inline constexpr std::uint32_t kGgaSilenceMs = 30'000;

class SolutionWatch {
 public:
  // The connection begins at tick `now`.
  void Begin(std::uint32_t now);
  // The receiver's next bytes, read at tick `now`.
  void Take(std::string_view block, std::uint32_t now);
  // Brings the times up to `now`: the time since the last look counts as fixed when the
  // solution standing now is RTK fixed.
  void Look(std::uint32_t now);

  // As of the last look.
  const std::optional<ReceiverSolution>& Current() const { return current_; }
  const SolutionTimes& Times() const { return times_; }
  // Since the latest GGA, or since the connect before the first.
  std::uint32_t GgaSilenceMs() const { return ggaSilenceMs_; }
  // A GGA of this connection reported a quality that needs corrections, or may.
  bool EverCorrected() const { return corrected_; }

 private:
  SentenceSplitter sentences_;
  std::optional<ReceiverSolution> latest_;
  std::optional<ReceiverSolution> current_;
  std::uint32_t begin_ = 0;
  std::uint32_t lastGga_ = 0;
  std::uint32_t lastLook_ = 0;
  std::uint32_t ggaSilenceMs_ = 0;
  bool corrected_ = false;
  SolutionTimes times_;
};

}  // namespace quillon
