#include "ntrip/correction_stream.h"

#include <array>

namespace quillon {

namespace {

constexpr std::uint32_t kCrc24qPolynomial = 0x1864CFB;
constexpr std::array<unsigned, 6> kMessageNumbers = {1004, 1005, 1012, 1033, 1077, 1087};
constexpr unsigned kMinPayload = 20;
constexpr unsigned kMaxPayload = 200;

}  // namespace

std::uint32_t Crc24q(std::string_view bytes) {
  std::uint32_t crc = 0;
  for (char c : bytes) {
    crc ^= static_cast<std::uint32_t>(static_cast<unsigned char>(c)) << 16;
    for (int bit = 0; bit < 8; ++bit) {
      crc <<= 1;
      if (crc & 0x1000000) crc ^= kCrc24qPolynomial;
    }
  }
  return crc & 0xFFFFFF;
}

// xorshift32 needs a state other than zero.
CorrectionStream::CorrectionStream(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}

std::uint32_t CorrectionStream::NextRandom() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

std::string CorrectionStream::NextFrame() {
  const unsigned length = kMinPayload + NextRandom() % (kMaxPayload - kMinPayload + 1);
  const unsigned message = kMessageNumbers[frameIndex_++ % kMessageNumbers.size()];

  std::string frame;
  frame.reserve(3 + length + 3);
  frame += static_cast<char>(0xD3);
  frame += static_cast<char>((length >> 8) & 0x03);
  frame += static_cast<char>(length & 0xFF);
  frame += static_cast<char>(message >> 4);
  frame += static_cast<char>(((message & 0x0F) << 4) | (NextRandom() & 0x0F));
  for (unsigned i = 2; i < length; ++i) frame += static_cast<char>(NextRandom() & 0xFF);

  const std::uint32_t crc = Crc24q(frame);
  frame += static_cast<char>((crc >> 16) & 0xFF);
  frame += static_cast<char>((crc >> 8) & 0xFF);
  frame += static_cast<char>(crc & 0xFF);
  return frame;
}

std::string CorrectionStream::Next(std::size_t count) {
  while (pending_.size() < count) pending_ += NextFrame();
  std::string bytes = pending_.substr(0, count);
  pending_.erase(0, count);
  return bytes;
}

}  // namespace quillon
