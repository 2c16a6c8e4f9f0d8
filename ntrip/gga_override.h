// The receiver's output on its way upstream with the user's fixed position in place of the real
// one, whatever else the receiver writes around its sentences and however its output is cut
// into reads. With the override on, the real position never goes upstream: every sentence that
// carries it (GGA, RMC, GLL, GNS of any talker, see position_sentence.h) is rewritten, and one
// that cannot be rewritten because it is damaged is dropped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// How long a held fragment that nothing completes waits before it is let go.
inline constexpr std::uint32_t kHeldFragmentLimitMs = 1000;

class GgaOverride {
 public:
  GgaOverride();

  // Takes the next block read from the receiver (it may be empty: call every pass) and returns
  // the bytes to send upstream now, valid until the next call. `tickMs` is the clock's tick
  // count of this pass (Clock::TickCount, wrapping).
  //
  // Without `enabled`, what was held back and `block` pass unchanged.
  //
  // With `enabled`, every byte passes unchanged and in order (NUL bytes, binary data, other
  // sentences) except the sentences of a position kind: from the "$" of such a sentence to its
  // line end, a well-formed one is replaced by RewritePositionSentence's text and a damaged one
  // is dropped. A sentence ends at its line end after "*hh", or at a "$" right behind "*hh". The
  // damaged ones: an address in small letters, a wrong or missing checksum, a NUL, "$" or other
  // control byte inside, the wrong field count, a field or the sentence too long, and a sentence
  // broken by a line end before its "*hh". What follows a damaged sentence is dropped with it up
  // to the line end behind the next "*" or, when a line begins with "$", up to that "$", so that
  // a broken sentence's remainder does not pass either. The start of what may become such a
  // sentence, and one being read, are held back until they are complete; a fragment held for
  // kHeldFragmentLimitMs is let go: a start too short to tell the kind is sent, a complete
  // sentence without line end is rewritten, anything else is dropped. At most
  // kNmeaMaxSentenceLength bytes are held.
  std::string_view Pass(std::string_view block, bool enabled, double latitude, double longitude,
                        std::uint32_t tickMs);

  // How many bytes are held back now.
  std::size_t Held() const;

 private:
  enum class Stage {
    kPassing,    // outside a sentence of a position kind (possibly in its first bytes: head_)
    kBody,       // in a sentence, before its "*"
    kChecksum,   // behind its "*"
    kLineEnd,    // behind "*hh", waiting for the line end
    kAfterCr,    // behind "*hh" and CR, waiting for a LF
    kDropping,   // in the remainder of a damaged sentence
    kDroppedCr,  // behind the CR that ended a damaged sentence
  };

  void Feed(char c);
  void FeedPassing(char c);
  void FeedSentence(char c);
  void FeedDropping(char c);
  void Finish();
  void Damaged(char c, bool starSeen);
  void DropSentence();
  void LetGo();
  void Reset();
  void Emit(std::string_view bytes) { out_.append(bytes); }

  Stage stage_ = Stage::kPassing;
  // What may become the head of a sentence of a position kind; its first headSent_ bytes have
  // already gone upstream (let go, or an open head resumed behind a dropped sentence).
  std::string head_;
  std::size_t headSent_ = 0;
  // The head that was open upstream when head_ began: if head_ becomes a sentence that is
  // dropped, the bytes behind it continue this one.
  std::string resume_;
  // The sentence being read, from its "$"; its first sentenceSent_ bytes have gone upstream.
  std::string sentence_;
  std::size_t sentenceSent_ = 0;
  int checksumDigits_ = 0;
  bool starSeen_ = false;   // dropping: a "*" came, so the next line end ends the sentence
  bool lineStart_ = false;  // dropping: behind a line end, where a "$" begins a new sentence
  std::uint32_t heldSince_ = 0;
  double latitude_ = 0.0;
  double longitude_ = 0.0;
  std::string out_;
};

}  // namespace quillon
