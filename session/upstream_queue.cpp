#include "session/upstream_queue.h"

#include <algorithm>
#include <optional>

#include "ntrip/position_sentence.h"

namespace quillon {
namespace {

// Just behind the first line end at or after `from`, when it comes within a sentence's length;
// nothing when there is none so near.
std::optional<std::size_t> NextLineStart(std::string_view text, std::size_t from) {
  const std::size_t lf = text.find('\n', from);
  if (lf == std::string_view::npos || lf - from >= kNmeaMaxSentenceLength) return std::nullopt;
  return lf + 1;
}

}  // namespace

void UpstreamQueue::Push(std::string_view bytes) {
  pending_.append(bytes);
  if (pending_.size() <= capacity_) return;
  // The caster has the start of the first line: its rest stays, or the caster would see two
  // sentences run together.
  const std::size_t keep = midLine_ ? NextLineStart(pending_, 0).value_or(0) : 0;
  std::size_t cut = std::min(pending_.size(), keep + pending_.size() - capacity_);
  // Out to the end of the line the cut falls into.
  if (pending_[cut - 1] != '\n') cut = NextLineStart(pending_, cut).value_or(cut);
  pending_.erase(keep, cut - keep);
  dropped_ += cut - keep;
}

void UpstreamQueue::Take(std::size_t count) {
  count = std::min(count, pending_.size());
  if (count == 0) return;
  midLine_ = pending_[count - 1] != '\n';
  pending_.erase(0, count);
}

void UpstreamQueue::Clear() {
  pending_.clear();
  midLine_ = false;
}

}  // namespace quillon
