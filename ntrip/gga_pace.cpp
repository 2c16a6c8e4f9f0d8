#include "ntrip/gga_pace.h"

#include "ntrip/position_sentence.h"

namespace quillon {

std::string_view GgaPace::Pass(std::string_view block, std::uint32_t tickMs) {
  out_.clear();
  for (const char c : block) {
    if (c == '$') {
      line_.assign(1, c);
    } else if (!line_.empty()) {
      line_ += c;
      if (c == '\n') {
        Complete(tickMs);
      } else if (line_.size() >= kNmeaMaxSentenceLength) {
        line_.clear();  // no sentence is this long
      }
    }
  }
  return out_;
}

void GgaPace::Complete(std::uint32_t tickMs) {
  const bool gga = WellFormedPositionKind(line_) == "GGA";
  const bool due = !started_ ||
                   static_cast<std::int32_t>(tickMs - (dueMs_ - kGgaPaceSlackMs)) >= 0;
  if (gga && due) {
    out_ += line_;
    // The schedule moves on by whole intervals; a turn long past starts it again from now.
    dueMs_ = started_ ? dueMs_ + intervalMs_ : tickMs + intervalMs_;
    if (static_cast<std::int32_t>(tickMs - dueMs_) >= 0) dueMs_ = tickMs + intervalMs_;
    started_ = true;
  }
  line_.clear();
}

}  // namespace quillon
