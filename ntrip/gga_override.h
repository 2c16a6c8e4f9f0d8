// The receiver's output on its way upstream with the user's fixed position in place of the
// real one in every GGA sentence, whatever else the receiver writes around it and however its
// output is cut into reads.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace quillon {

class GgaOverride {
 public:
  GgaOverride();

  // Takes the next block read from the receiver and returns the bytes to send upstream now
  // (valid until the next call). With `enabled`, every complete GGA sentence of any talker in
  // the bytes held back before and in `block` is rewritten with the position
  // (RewriteGgaSentence; a sentence that does not qualify, or is longer than
  // kGgaMaxSentenceLength, stays as it is); every other byte, NUL bytes included, passes
  // unchanged and in order. A GGA sentence that `block` ends inside, or the start of what may
  // become one, is held back until the next block completes it, so that the real position never
  // goes upstream in pieces; at most kGgaMaxSentenceLength bytes are held. Without `enabled`,
  // the bytes held back and `block` pass unchanged.
  std::string_view Pass(std::string_view block, bool enabled, double latitude, double longitude);

  // How many bytes are held back now.
  std::size_t Held() const { return held_.size(); }

 private:
  std::string held_;
  std::string work_;
  std::string out_;
};

}  // namespace quillon
