#include "session/solution_warnings.h"

#include "common/decimal_text.h"

namespace quillon {
namespace {

constexpr char kCheckInput[] =
    "check that its correction input is on this port, at this baud rate, and set to RTCM 3.";

std::string UnusedText() {
  return std::string("The receiver does not use the corrections: ") + kCheckInput;
}

std::string OldCorrectionsText(double age) {
  return "The receiver's corrections are " + DecimalText(age, 1) +
         " s old while the caster's stream arrives: it does not take them as they come; " +
         kCheckInput;
}

std::string OtherStationText(unsigned receiver, unsigned stream) {
  return "The receiver's corrections come from station " + std::to_string(receiver) +
         ", the caster's stream from station " + std::to_string(stream) +
         ": the receiver takes corrections from another input; turn that input off, or check "
         "the mount point.";
}

std::string NoGgaText() {
  return "No GGA sentence from the receiver in " + std::to_string(kGgaSilenceMs / 1000) +
         " s and nothing from the caster: the mount point may need the receiver's position; turn "
         "on the receiver's GGA output on this port (--gga LAT,LON then sends a fixed position "
         "in its place).";
}

}  // namespace

std::vector<std::string> SolutionWarnings::Due(const SolutionWatch& solution,
                                               const RtcmSummary& summary,
                                               std::uint32_t elapsedMs) {
  if (summary.frames != frames_) {
    frames_ = summary.frames;
    lastFrameMs_ = elapsedMs;
    if (!firstFrameMs_) firstFrameMs_ = elapsedMs;
  }
  const std::uint64_t bytes = summary.frameBytes + summary.nonFrameBytes;
  if (bytes != bytes_) {
    bytes_ = bytes;
    lastBytesMs_ = elapsedMs;
  }
  const bool arriving = firstFrameMs_ && elapsedMs - lastFrameMs_ <= kStreamArrivingMs;
  const std::uint32_t flowedMs = firstFrameMs_ ? elapsedMs - *firstFrameMs_ : 0;
  const std::optional<ReceiverSolution>& current = solution.Current();

  std::vector<std::string> due;
  const auto check = [&](Kind kind, bool wrong, auto text) {
    if (said_[kind] || !wrong) return;
    said_[kind] = true;
    due.push_back(text());
  };
  check(kUnused,
        arriving && flowedMs >= kUnusedCorrectionsMs && current &&
            WithoutCorrections(current->quality) && !solution.EverCorrected(),
        UnusedText);
  check(kOldCorrections,
        arriving && flowedMs >= kMaxCorrectionAgeSeconds * 1000 && current && current->ageSeconds &&
            *current->ageSeconds > kMaxCorrectionAgeSeconds,
        [&] { return OldCorrectionsText(*current->ageSeconds); });
  check(kOtherStation,
        current && !WithoutCorrections(current->quality) && current->stationId &&
            summary.stationId && *current->stationId != *summary.stationId,
        [&] { return OtherStationText(*current->stationId, *summary.stationId); });
  check(kNoGga,
        solution.GgaSilenceMs() >= kGgaSilenceMs && elapsedMs - lastBytesMs_ >= kGgaSilenceMs,
        NoGgaText);
  return due;
}

}  // namespace quillon
