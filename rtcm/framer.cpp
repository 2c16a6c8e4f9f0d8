#include "rtcm/framer.h"

#include <algorithm>

#include "rtcm/crc24q.h"

namespace quillon {

std::string RtcmFrame(std::string_view payload) {
  payload = payload.substr(0, kRtcmMaxPayload);
  std::string frame = {kRtcmPreamble, static_cast<char>(payload.size() >> 8),
                       static_cast<char>(payload.size() & 0xFF)};
  frame.reserve(kRtcmHeaderSize + payload.size() + kRtcmCrcSize);
  frame += payload;
  const std::uint32_t crc = Crc24q(frame);
  for (const int shift : {16, 8, 0}) frame.push_back(static_cast<char>((crc >> shift) & 0xFF));
  return frame;
}

void RtcmFramer::Push(std::string_view bytes, RtcmFrameSink& sink) {
  while (!bytes.empty()) {
    if (count_ == 0) {
      // Between frames nothing is held: bytes up to the next preamble pass on at once.
      const std::size_t skipped = std::min(bytes.find(kRtcmPreamble), bytes.size());
      PassOn(bytes.substr(0, skipped), sink);
      bytes.remove_prefix(skipped);
      if (bytes.empty()) return;
    }
    const std::size_t taken = std::min(bytes.size(), Wanted());
    Hold(bytes.substr(0, taken));
    bytes.remove_prefix(taken);
    Resolve(sink);
  }
}

std::size_t RtcmFramer::Index(std::size_t offset) const {
  const std::size_t index = head_ + offset;
  return index < ring_.size() ? index : index - ring_.size();
}

unsigned char RtcmFramer::At(std::size_t offset) const {
  return static_cast<unsigned char>(ring_[Index(offset)]);
}

// The size of the frame whose header is held at the front.
std::size_t RtcmFramer::FrameSize() const {
  const std::size_t length = (static_cast<std::size_t>(At(1) & 0x03) << 8) | At(2);
  return kRtcmHeaderSize + length + kRtcmCrcSize;
}

// How many more bytes decide the frame at the front: its header first, then the rest of it.
std::size_t RtcmFramer::Wanted() const {
  return count_ < kRtcmHeaderSize ? kRtcmHeaderSize - count_ : FrameSize() - count_;
}

void RtcmFramer::Hold(std::string_view bytes) {
  // Behind the bytes held, up to the end of the ring, then from its start.
  const std::size_t end = Index(count_);
  const std::size_t first = std::min(bytes.size(), ring_.size() - end);
  std::copy_n(bytes.begin(), first, ring_.begin() + static_cast<std::ptrdiff_t>(end));
  running_ = Crc24qMarking(bytes.substr(0, first), running_, std::span(crcBefore_).subspan(end));
  const std::string_view rest = bytes.substr(first);
  std::copy(rest.begin(), rest.end(), ring_.begin());
  running_ = Crc24qMarking(rest, running_, crcBefore_);
  count_ += bytes.size();
}

// Decides the frames at the front as far as the bytes held allow. Afterwards the front is a
// preamble whose frame is not complete yet, or nothing is held.
void RtcmFramer::Resolve(RtcmFrameSink& sink) {
  while (count_ >= kRtcmHeaderSize) {
    if ((At(1) & 0xFC) != 0) {  // the six reserved bits: no frame starts here
      DropToPreamble(1, sink);
      continue;
    }
    const std::size_t size = FrameSize();
    if (count_ < size) return;
    if (CrcChecks(size)) {
      TakeFrame(size, sink);
    } else {
      ++crcFailures_;
      DropToPreamble(1, sink);
    }
  }
}

bool RtcmFramer::CrcChecks(std::size_t size) const {
  const std::size_t covered = size - kRtcmCrcSize;
  const std::uint32_t crc = Crc24qOfSegment(crcBefore_[head_], crcBefore_[Index(covered)], covered);
  const std::uint32_t sent = (static_cast<std::uint32_t>(At(covered)) << 16) |
                             (static_cast<std::uint32_t>(At(covered + 1)) << 8) | At(covered + 2);
  return crc == sent;
}

void RtcmFramer::TakeFrame(std::size_t size, RtcmFrameSink& sink) {
  if (head_ + size > ring_.size()) {
    // The frame wraps round the ring: turn the ring so that the payload is one piece. Only
    // frames that check come here, and only about once per ring's length of them.
    std::rotate(ring_.begin(), ring_.begin() + static_cast<std::ptrdiff_t>(head_), ring_.end());
    std::rotate(crcBefore_.begin(), crcBefore_.begin() + static_cast<std::ptrdiff_t>(head_),
                crcBefore_.end());
    head_ = 0;
  }
  ++frames_;
  frameBytes_ += size;
  sink.OnFrame(std::string_view(ring_.data() + head_ + kRtcmHeaderSize,
                                size - kRtcmHeaderSize - kRtcmCrcSize));
  head_ = Index(size);
  count_ -= size;
  DropToPreamble(0, sink);
}

// Passes on the bytes held in front of the first preamble at or behind offset `from`.
void RtcmFramer::DropToPreamble(std::size_t from, RtcmFrameSink& sink) {
  std::size_t end = std::min(from, count_);
  while (end < count_ && At(end) != static_cast<unsigned char>(kRtcmPreamble)) ++end;
  // The bytes may wrap round the ring: pass them on in at most two pieces.
  const std::size_t first = std::min(end, ring_.size() - head_);
  PassOn(std::string_view(ring_.data() + head_, first), sink);
  PassOn(std::string_view(ring_.data(), end - first), sink);
  head_ = Index(end);
  count_ -= end;
}

void RtcmFramer::PassOn(std::string_view bytes, RtcmFrameSink& sink) {
  if (bytes.empty()) return;
  nonFrameBytes_ += bytes.size();
  sink.OnNonFrameBytes(bytes);
}

}  // namespace quillon
