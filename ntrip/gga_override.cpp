#include "ntrip/gga_override.h"

#include "ntrip/position_sentence.h"

namespace quillon {
namespace {

// Reads are at most this long; the output keeps room for one, so the steady relay allocates
// nothing.
constexpr std::size_t kReserve = 4096;

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// What may stand inside a sentence: printable ASCII, and "$" only at its start.
bool IsSentenceByte(char c) { return c >= 0x20 && c <= 0x7E && c != '$'; }

}  // namespace

GgaOverride::GgaOverride() {
  sentence_.reserve(kNmeaMaxSentenceLength);
  out_.reserve(kReserve);
}

std::string_view GgaOverride::Pass(std::string_view block, bool enabled, double latitude,
                                   double longitude, std::uint32_t tickMs) {
  out_.clear();
  if (!enabled) {
    out_.append(sentence_).append(block);
    Drop();
    return out_;
  }
  latitude_ = latitude;
  longitude_ = longitude;
  tickMs_ = tickMs;
  for (const char c : block) Feed(c);
  // Unsigned difference: right across the tick count's wrap.
  if (Held() > 0 && tickMs - heldSince_ >= kHeldFragmentLimitMs) {
    if (stage_ == Stage::kLineEnd || stage_ == Stage::kAfterCr) {
      Finish();
    } else {
      Drop();
    }
  }
  return out_;
}

void GgaOverride::Feed(char c) {
  switch (stage_) {
    case Stage::kOutside:
      if (c == '$') Begin();
      return;
    case Stage::kBody:
      if (!IsSentenceByte(c)) break;
      if (Append(c) && c == '*') {
        stage_ = Stage::kChecksum;
        checksumDigits_ = 0;
      }
      return;
    case Stage::kChecksum:
      if (!IsHexDigit(c)) break;
      if (Append(c) && ++checksumDigits_ == 2) stage_ = Stage::kLineEnd;
      return;
    case Stage::kLineEnd:
      if (c == '$') {
        Finish();
        Begin();
      } else if (c != '\r' && c != '\n') {
        Drop();
      } else if (Append(c)) {
        if (c == '\r') {
          stage_ = Stage::kAfterCr;
        } else {
          Finish();
        }
      }
      return;
    case Stage::kAfterCr:
      if (c == '\n' && Append(c)) {
        Finish();
      } else if (c != '\n') {
        Finish();
        Feed(c);
      }
      return;
  }
  // Broken before its end.
  Drop();
  if (c == '$') Begin();
}

bool GgaOverride::Append(char c) {
  if (sentence_.size() == kNmeaMaxSentenceLength) {
    Drop();
    return false;
  }
  sentence_.push_back(c);
  return true;
}

void GgaOverride::Begin() {
  sentence_.assign(1, '$');
  stage_ = Stage::kBody;
  heldSince_ = tickMs_;
}

void GgaOverride::Finish() {
  NmeaSentence rewritten;
  if (const std::size_t length =
          RewritePositionSentence(sentence_, latitude_, longitude_, rewritten)) {
    out_.append(rewritten.data(), length);
  } else if (HoldsNoPosition(sentence_)) {
    out_.append(sentence_);
  }
  Drop();
}

void GgaOverride::Drop() {
  sentence_.clear();
  stage_ = Stage::kOutside;
}

}  // namespace quillon
