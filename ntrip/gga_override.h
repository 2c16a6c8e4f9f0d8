// The receiver's output on its way upstream with the user's fixed position in place of the real
// one, however its output is cut into reads. With the override on, only whole, well-formed
// sentences go upstream: those that carry a position (GGA, RMC, GLL, GNS of any talker, see
// position_sentence.h) rewritten, and those of a kind known to carry none (HoldsNoPosition) as
// they came. Everything else may carry the real position in a form not rewritten here and is
// dropped: proprietary sentences ($PUBX,00, $PTNL,GGK), kinds not known, damaged sentences, and
// every byte outside a sentence (binary messages, such as u-blox's or RTCM's).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// How long a sentence that nothing ends waits before it is let go.
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
  // With `enabled`, a sentence runs from its "$" to its line end ("\r\n", "\n" or "\r") behind
  // "*hh", or to a "$" right behind "*hh", and goes upstream as said above. A sentence broken
  // before its end (by a line end, a byte that cannot stand in one, or more than
  // kNmeaMaxSentenceLength bytes) is dropped; a "$" inside begins the next. A sentence being
  // read is held back until it ends; one held for kHeldFragmentLimitMs is let go: judged as
  // above when only its line end is missing, dropped otherwise.
  std::string_view Pass(std::string_view block, bool enabled, double latitude, double longitude,
                        std::uint32_t tickMs);

  // How many bytes are held back now.
  std::size_t Held() const { return sentence_.size(); }

 private:
  enum class Stage {
    kOutside,   // between sentences: bytes here are dropped
    kBody,      // in a sentence, before its "*"
    kChecksum,  // behind its "*"
    kLineEnd,   // behind "*hh", waiting for the line end
    kAfterCr,   // behind "*hh" and CR, waiting for a LF
  };

  void Feed(char c);
  bool Append(char c);
  void Begin();
  void Finish();
  void Drop();

  Stage stage_ = Stage::kOutside;
  std::string sentence_;  // the sentence being read, from its "$"
  int checksumDigits_ = 0;
  std::uint32_t tickMs_ = 0;
  std::uint32_t heldSince_ = 0;
  double latitude_ = 0.0;
  double longitude_ = 0.0;
  std::string out_;
};

}  // namespace quillon
