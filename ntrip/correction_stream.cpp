#include "ntrip/correction_stream.h"

#include <array>

#include "rtcm/framer.h"

namespace quillon {

namespace {

constexpr std::array<unsigned, 6> kMessageNumbers = {1004, 1005, 1012, 1033, 1077, 1087};
constexpr unsigned kMinPayload = 20;
constexpr unsigned kMaxPayload = 200;

}  // namespace

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

  std::string payload;
  payload.reserve(length);
  payload += static_cast<char>(message >> 4);
  payload += static_cast<char>(((message & 0x0F) << 4) | (NextRandom() & 0x0F));
  for (unsigned i = 2; i < length; ++i) payload += static_cast<char>(NextRandom() & 0xFF);
  return RtcmFrame(payload);
}

std::string CorrectionStream::Next(std::size_t count) {
  while (pending_.size() < count) pending_ += NextFrame();
  std::string bytes = pending_.substr(0, count);
  pending_.erase(0, count);
  return bytes;
}

}  // namespace quillon
