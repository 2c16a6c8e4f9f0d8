#include "rtcm/non_frame_bytes.h"

namespace quillon {
namespace {

// 0-15 for a hex digit of either case, -1 for anything else.
int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool IsSentenceText(char c) { return c >= 0x20 && c <= 0x7E && c != '$' && c != '*'; }

}  // namespace

void NonFrameBytes::Add(std::string_view bytes) {
  total_ += bytes.size();
  for (const char c : bytes) Step(c);
}

NonFrameKind NonFrameBytes::Kind() const {
  if (total_ < kMinNonFrameBytesToJudge) return NonFrameKind::kTooFewToTell;
  return inSentences_ * 2 >= total_ ? NonFrameKind::kNmeaSentences : NonFrameKind::kNoise;
}

void NonFrameBytes::Step(char c) {
  if (state_ != State::kOutside && ++length_ > kMaxNmeaSentenceLength) return Abandon(c);
  switch (state_) {
    case State::kOutside:
      return Begin(c);
    case State::kText:
      if (c == '*') {
        state_ = State::kChecksumHigh;
      } else if (IsSentenceText(c)) {
        checksum_ ^= static_cast<unsigned char>(c);
      } else {
        Abandon(c);
      }
      return;
    case State::kChecksumHigh:
    case State::kChecksumLow: {
      const int digit = HexValue(c);
      if (digit < 0) return Abandon(c);
      sent_ = static_cast<unsigned char>((sent_ << 4) | digit);
      if (state_ == State::kChecksumHigh) {
        state_ = State::kChecksumLow;
      } else if (sent_ == checksum_) {
        state_ = State::kLineEnd;
      } else {
        Abandon(c);
      }
      return;
    }
    case State::kLineEnd:
      if (c == '\r') {
        state_ = State::kLineFeed;
        return;
      }
      [[fallthrough]];
    case State::kLineFeed:
      if (c != '\n') return Abandon(c);
      inSentences_ += length_;
      state_ = State::kOutside;
      return;
  }
}

// A "$" begins a sentence; anything else outside one is noise.
void NonFrameBytes::Begin(char c) {
  if (c != '$') return;
  state_ = State::kText;
  length_ = 1;
  checksum_ = 0;
  sent_ = 0;
}

// The sentence so far was none; `c`, which broke it, may begin the next.
void NonFrameBytes::Abandon(char c) {
  state_ = State::kOutside;
  Begin(c);
}

}  // namespace quillon
