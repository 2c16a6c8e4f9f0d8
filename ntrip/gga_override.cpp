#include "ntrip/gga_override.h"

#include "ntrip/position_sentence.h"

namespace quillon {
namespace {

// Reads are at most this long; the output keeps room for one and a held sentence, so the steady
// relay allocates nothing.
constexpr std::size_t kReserve = 4096;
// A head is "$", a talker, a type and one character more.
constexpr std::size_t kHeadReserve = 8;

bool IsLineEnd(char c) { return c == '\r' || c == '\n'; }

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

// What may stand inside a sentence: printable ASCII, and "$" only at its start.
bool IsSentenceByte(char c) { return c >= 0x20 && c <= 0x7E && c != '$'; }

std::string_view Unsent(const std::string& text, std::size_t sent) {
  return std::string_view(text).substr(sent);
}

}  // namespace

GgaOverride::GgaOverride() {
  head_.reserve(kHeadReserve);
  resume_.reserve(kHeadReserve);
  sentence_.reserve(kNmeaMaxSentenceLength);
  out_.reserve(2 * kReserve);
}

std::size_t GgaOverride::Held() const {
  return head_.size() - headSent_ + sentence_.size() - sentenceSent_;
}

std::string_view GgaOverride::Pass(std::string_view block, bool enabled, double latitude,
                                   double longitude, std::uint32_t tickMs) {
  out_.clear();
  if (!enabled) {
    Emit(Unsent(head_, headSent_));
    Emit(Unsent(sentence_, sentenceSent_));
    Emit(block);
    Reset();
    return out_;
  }
  latitude_ = latitude;
  longitude_ = longitude;
  for (const char c : block) {
    const bool holding = Held() > 0;
    Feed(c);
    if (!holding && Held() > 0) heldSince_ = tickMs;
  }
  // Unsigned difference: right across the tick count's wrap.
  if (Held() > 0 && tickMs - heldSince_ >= kHeldFragmentLimitMs) LetGo();
  return out_;
}

void GgaOverride::Feed(char c) {
  switch (stage_) {
    case Stage::kPassing:
      FeedPassing(c);
      break;
    case Stage::kDropping:
    case Stage::kDroppedCr:
      FeedDropping(c);
      break;
    default:
      FeedSentence(c);
  }
}

void GgaOverride::FeedPassing(char c) {
  if (head_.empty()) {
    if (c == '$') {
      head_.assign(1, c);
      headSent_ = 0;
      resume_.clear();
    } else {
      out_.push_back(c);
    }
    return;
  }
  head_.push_back(c);
  const HeadMatch match = MatchPositionHead(head_);
  if (match == HeadMatch::kMaybe) return;
  head_.pop_back();
  if (match == HeadMatch::kYes) {
    sentence_.assign(head_);
    sentenceSent_ = headSent_;
    head_.clear();
    headSent_ = 0;
    stage_ = Stage::kBody;
    // The character behind the type is already the sentence's own (",", or damage).
    FeedSentence(c);
    return;
  }
  Emit(Unsent(head_, headSent_));
  if (c == '$') {
    // Upstream, the head just sent stays open until whatever begins here turns out to stay.
    resume_.assign(head_);
    head_.assign(1, c);
  } else {
    head_.clear();
    resume_.clear();
    out_.push_back(c);
  }
  headSent_ = 0;
}

void GgaOverride::FeedSentence(char c) {
  const auto append = [&] {
    if (sentence_.size() < kNmeaMaxSentenceLength) {
      sentence_.push_back(c);
      return true;
    }
    Damaged(c, stage_ != Stage::kBody);
    return false;
  };
  switch (stage_) {
    case Stage::kBody:
      if (!IsSentenceByte(c)) {
        Damaged(c, false);
      } else if (append() && c == '*') {
        stage_ = Stage::kChecksum;
        checksumDigits_ = 0;
      }
      return;
    case Stage::kChecksum:
      if (!IsHexDigit(c)) {
        Damaged(c, true);
      } else if (append() && ++checksumDigits_ == 2) {
        stage_ = Stage::kLineEnd;
      }
      return;
    case Stage::kLineEnd:
      if (c == '$') {
        Finish();
        FeedPassing(c);
      } else if (!IsLineEnd(c)) {
        Damaged(c, true);
      } else if (append()) {
        if (c == '\r') {
          stage_ = Stage::kAfterCr;
        } else {
          Finish();
        }
      }
      return;
    case Stage::kAfterCr:
      if (c != '\n') {
        Finish();
        Feed(c);
      } else if (append()) {
        Finish();
      }
      return;
    default:
      return;
  }
}

void GgaOverride::FeedDropping(char c) {
  if (stage_ == Stage::kDroppedCr) {
    stage_ = Stage::kPassing;
    if (c != '\n') FeedPassing(c);
    return;
  }
  if (c == '$' && lineStart_) {
    stage_ = Stage::kPassing;
    FeedPassing(c);
    return;
  }
  if (IsLineEnd(c)) {
    // Before its "*", a line end breaks the sentence: its remainder may follow on the next line.
    if (starSeen_) {
      stage_ = c == '\r' ? Stage::kDroppedCr : Stage::kPassing;
    } else {
      lineStart_ = true;
    }
    return;
  }
  lineStart_ = false;
  if (c == '*') starSeen_ = true;
}

void GgaOverride::Finish() {
  NmeaSentence rewritten;
  const std::size_t length = RewritePositionSentence(sentence_, latitude_, longitude_, rewritten);
  stage_ = Stage::kPassing;
  if (length == 0) {
    DropSentence();
    return;
  }
  // What went upstream already is the unchanged address.
  Emit(std::string_view(rewritten.data(), length).substr(sentenceSent_));
  sentence_.clear();
  sentenceSent_ = 0;
  resume_.clear();
}

void GgaOverride::Damaged(char c, bool starSeen) {
  DropSentence();
  stage_ = Stage::kDropping;
  starSeen_ = starSeen;
  lineStart_ = false;
  FeedDropping(c);
}

void GgaOverride::DropSentence() {
  // Upstream, the head that was open before the sentence is still open: what follows the
  // sentence continues it, and must not complete it into a sentence that carries a position.
  if (sentenceSent_ > 0) {
    head_.assign(sentence_, 0, sentenceSent_);
    headSent_ = sentenceSent_;
  } else if (!resume_.empty()) {
    head_.assign(resume_);
    headSent_ = head_.size();
  }
  resume_.clear();
  sentence_.clear();
  sentenceSent_ = 0;
}

void GgaOverride::LetGo() {
  switch (stage_) {
    case Stage::kPassing:
      // Too short to tell: it holds no position. Kept as open, so what completes it later is
      // still read as a sentence.
      Emit(Unsent(head_, headSent_));
      headSent_ = head_.size();
      resume_.clear();
      break;
    case Stage::kBody:
    case Stage::kChecksum: {
      const bool starSeen = stage_ == Stage::kChecksum;
      DropSentence();
      stage_ = Stage::kDropping;
      starSeen_ = starSeen;
      lineStart_ = true;  // after a pause, a "$" begins a new sentence
      break;
    }
    case Stage::kLineEnd:
    case Stage::kAfterCr:
      Finish();
      break;
    default:
      break;
  }
}

void GgaOverride::Reset() {
  stage_ = Stage::kPassing;
  head_.clear();
  headSent_ = 0;
  resume_.clear();
  sentence_.clear();
  sentenceSent_ = 0;
  starSeen_ = false;
  lineStart_ = false;
}

}  // namespace quillon
