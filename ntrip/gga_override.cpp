#include "ntrip/gga_override.h"

#include <algorithm>

#include "ntrip/gga.h"

namespace quillon {
namespace {

// Reads are at most this long; the strings below keep room for one and a held sentence, so the
// steady relay allocates nothing.
constexpr std::size_t kReserve = 4096;

// Where a sentence that begins at `start` ends: behind its line feed, or where the next
// sentence begins; npos when `text` ends first.
std::size_t SentenceEnd(std::string_view text, std::size_t start) {
  const std::size_t end = text.find_first_of("\n$", start + 1);
  if (end == std::string_view::npos) return end;
  return text[end] == '\n' ? end + 1 : end;
}

// Where a tail of `text` (from `from` on) begins that could still grow into "$XXGGA,": a "$"
// followed by no more than the start of that pattern. npos when there is none.
std::size_t PossibleGgaTail(std::string_view text, std::size_t from) {
  constexpr std::string_view kPattern = "$XXGGA,";
  const std::size_t first =
      std::max(from, text.size() - std::min(text.size(), kPattern.size() - 1));
  for (std::size_t at = first; at < text.size(); ++at) {
    if (text[at] != '$') continue;
    const std::string_view tail = text.substr(at);
    bool matches = true;
    for (std::size_t i = 1; i < tail.size() && matches; ++i) {
      matches = i <= 2 ? tail[i] >= 'A' && tail[i] <= 'Z' : tail[i] == kPattern[i];
    }
    if (matches) return at;
  }
  return std::string_view::npos;
}

}  // namespace

GgaOverride::GgaOverride() {
  held_.reserve(kGgaMaxSentenceLength);
  work_.reserve(kReserve);
  out_.reserve(2 * kReserve);
}

std::string_view GgaOverride::Pass(std::string_view block, bool enabled, double latitude,
                                   double longitude) {
  work_.assign(held_).append(block);
  held_.clear();
  out_.clear();
  if (!enabled) {
    out_.append(work_);
    return out_;
  }
  const std::string_view text = work_;
  std::size_t at = 0;
  for (;;) {
    const std::size_t start = FindGgaStart(text, at);
    if (start == std::string_view::npos) {
      const std::size_t tail = PossibleGgaTail(text, at);
      const std::size_t keep = tail == std::string_view::npos ? text.size() : tail;
      out_.append(text.substr(at, keep - at));
      held_.assign(text.substr(keep));
      return out_;
    }
    out_.append(text.substr(at, start - at));
    const std::size_t end = SentenceEnd(text, start);
    if (end == std::string_view::npos) {
      // Unfinished: wait for the rest, unless it is already too long to be a sentence.
      if (text.size() - start <= kGgaMaxSentenceLength) {
        held_.assign(text.substr(start));
      } else {
        out_.append(text.substr(start));
      }
      return out_;
    }
    const std::string_view sentence = text.substr(start, end - start);
    GgaSentence rewritten;
    const std::size_t length = sentence.size() <= kGgaMaxSentenceLength
                                   ? RewriteGgaSentence(sentence, latitude, longitude, rewritten)
                                   : 0;
    if (length > 0) {
      out_.append(rewritten.data(), length);
    } else {
      out_.append(sentence);
    }
    at = end;
  }
}

}  // namespace quillon
