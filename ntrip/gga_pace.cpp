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
    // The schedule moves on by whole intervals, so that sentences taken a little early do not
    // make it drift; but never to less than an interval after this one (a late one, or the
    // first after a gap).
    const std::uint32_t next = tickMs + intervalMs_;
    const std::uint32_t onSchedule = dueMs_ + intervalMs_;
    dueMs_ = started_ && static_cast<std::int32_t>(onSchedule - next) > 0 ? onSchedule : next;
    started_ = true;
  }
  line_.clear();
}

}  // namespace quillon
