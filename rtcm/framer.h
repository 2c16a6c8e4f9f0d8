// Finds RTCM 3 frames in a byte stream that arrives in blocks of any size: preamble 0xD3, six
// zero bits, a 10-bit payload length, the payload, and a CRC-24Q over header and payload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

inline constexpr char kRtcmPreamble = static_cast<char>(0xD3);
inline constexpr std::size_t kRtcmHeaderSize = 3;
inline constexpr std::size_t kRtcmCrcSize = 3;
inline constexpr std::size_t kRtcmMaxPayload = 1023;
inline constexpr std::size_t kRtcmMaxFrame = kRtcmHeaderSize + kRtcmMaxPayload + kRtcmCrcSize;

// A whole frame around `payload`, which is cut to kRtcmMaxPayload bytes.
std::string RtcmFrame(std::string_view payload);

// What the framer finds, in stream order.
class RtcmFrameSink {
 public:
  // A frame whose CRC checks; `payload` is valid during the call only.
  virtual void OnFrame(std::string_view payload) = 0;
  // Bytes that belong to no such frame (a frame whose CRC failed among them).
  virtual void OnNonFrameBytes(std::string_view bytes) = 0;

 protected:
  ~RtcmFrameSink() = default;
};

class RtcmFramer {
 public:
  // Looks at `bytes`, the next part of the stream. A frame cut across calls is completed by
  // the later call. Holds at most kRtcmMaxFrame bytes: those of a frame not yet complete.
  //
  // After a CRC failure the search goes on one byte behind the false preamble, so a real frame
  // among the bytes held is still found. Each byte is hashed once when it arrives and each
  // preamble is tried once, in constant time (Crc24qOfSegment): a flood of false preambles with
  // long lengths costs a fixed amount of work per byte, never a rescan of the bytes held.
  void Push(std::string_view bytes, RtcmFrameSink& sink);

  std::uint64_t Frames() const { return frames_; }
  std::uint64_t FrameBytes() const { return frameBytes_; }
  // Frames whose header was sound and whose CRC did not check.
  std::uint64_t CrcFailures() const { return crcFailures_; }
  std::uint64_t NonFrameBytes() const { return nonFrameBytes_; }
  // Bytes held until the frame they may begin is complete.
  std::size_t Held() const { return count_; }

 private:
  std::size_t Index(std::size_t offset) const;
  unsigned char At(std::size_t offset) const;
  std::size_t FrameSize() const;
  std::size_t Wanted() const;
  void Hold(std::string_view bytes);
  void Resolve(RtcmFrameSink& sink);
  bool CrcChecks(std::size_t size) const;
  void TakeFrame(std::size_t size, RtcmFrameSink& sink);
  void DropToPreamble(std::size_t from, RtcmFrameSink& sink);
  void PassOn(std::string_view bytes, RtcmFrameSink& sink);

  // The bytes held, as a ring starting at head_; the front byte is always a preamble.
  std::array<char, kRtcmMaxFrame> ring_{};
  // For each byte held, the CRC-24Q of the stream up to it; running_ covers all bytes held.
  std::array<std::uint32_t, kRtcmMaxFrame> crcBefore_{};
  std::uint32_t running_ = 0;
  std::size_t head_ = 0;
  std::size_t count_ = 0;

  std::uint64_t frames_ = 0;
  std::uint64_t frameBytes_ = 0;
  std::uint64_t crcFailures_ = 0;
  std::uint64_t nonFrameBytes_ = 0;
};

}  // namespace quillon
