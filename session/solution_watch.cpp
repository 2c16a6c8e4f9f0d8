#include "session/solution_watch.h"

#include "ntrip/position_sentence.h"

namespace quillon {

void SolutionWatch::Begin(std::uint32_t now) {
  *this = SolutionWatch();
  begin_ = lastGga_ = lastLook_ = now;
}

void SolutionWatch::Take(std::string_view block, std::uint32_t now) {
  sentences_.Take(block, [&](std::string_view sentence) {
    const std::optional<ReceiverSolution> solution = GgaSolution(sentence);
    if (!solution) return;
    latest_ = solution;
    lastGga_ = now;
    times_.reported = true;
    if (!WithoutCorrections(solution->quality)) corrected_ = true;
    if (solution->quality == FixQuality::kRtkFixed && !times_.firstFixMs) {
      times_.firstFixMs = now - begin_;
    }
  });
}

void SolutionWatch::Look(std::uint32_t now) {
  ggaSilenceMs_ = now - lastGga_;
  const bool standing = latest_ && ggaSilenceMs_ < kGgaSilenceMs;
  current_ = standing ? latest_ : std::nullopt;
  if (standing && latest_->quality == FixQuality::kRtkFixed) times_.fixedMs += now - lastLook_;
  times_.watchedMs = now - begin_;
  lastLook_ = now;
}

}  // namespace quillon
