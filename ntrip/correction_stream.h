// A deterministic stand-in for a correction stream: frames shaped like RTCM 3 (preamble 0xD3,
// 10-bit length, a message number, pseudo-random payload, CRC-24Q), so a receiver or a person
// reading a hex dump sees plausible data. The bytes depend only on the seed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

class CorrectionStream {
 public:
  explicit CorrectionStream(std::uint32_t seed = 1);

  // The next whole frame: 0xD3, length, payload of that length (starting with a 12-bit message
  // number from 1004, 1005, 1012, 1033, 1077, 1087 in turn), 3 bytes of CRC-24Q.
  std::string NextFrame();

  // The next `count` bytes of the endless concatenation of frames; frames may be cut across
  // calls, as on a real connection.
  std::string Next(std::size_t count);

 private:
  std::uint32_t NextRandom();

  std::uint32_t state_;
  unsigned frameIndex_ = 0;
  std::string pending_;  // rest of a frame cut by Next
};

}  // namespace quillon
