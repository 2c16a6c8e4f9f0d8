// What the bytes between RTCM 3 frames look like, so that a warning can name the likely cause:
// a receiver that puts out NMEA sentences instead of corrections, or a port at the wrong baud
// rate, which turns everything into noise.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace quillon {

enum class NonFrameKind {
  kTooFewToTell,   // fewer than kMinNonFrameBytesToJudge bytes
  kNmeaSentences,  // at least half of them in NMEA 0183 sentences whose checksum matches
  kNoise,          // mostly neither frames nor sentences: a wrong baud rate, or another protocol
};

// Fewer bytes than this outside frames are what joining a stream mid-frame leaves; they say
// nothing about the stream.
inline constexpr std::uint64_t kMinNonFrameBytesToJudge = 128;

// NMEA 0183 allows 82 characters a sentence; receivers' proprietary sentences run longer.
inline constexpr std::size_t kMaxNmeaSentenceLength = 128;

// Looks at non-frame bytes as they come, in blocks of any size, holding none of them.
class NonFrameBytes {
 public:
  void Add(std::string_view bytes);

  std::uint64_t Total() const { return total_; }
  // Bytes of whole sentences: "$", printable text, "*", two hex digits of the XOR of the text,
  // and a line end (CR LF, or LF alone).
  std::uint64_t InSentences() const { return inSentences_; }
  NonFrameKind Kind() const;

 private:
  enum class State { kOutside, kText, kChecksumHigh, kChecksumLow, kLineEnd, kLineFeed };

  void Step(char c);
  void Begin(char c);
  void Abandon(char c);

  State state_ = State::kOutside;
  std::size_t length_ = 0;  // of the sentence so far
  unsigned char checksum_ = 0;
  unsigned char sent_ = 0;  // the checksum the sentence gives
  std::uint64_t total_ = 0;
  std::uint64_t inSentences_ = 0;
};

}  // namespace quillon
