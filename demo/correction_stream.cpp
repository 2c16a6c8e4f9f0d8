#include "demo/correction_stream.h"

#include <algorithm>
#include <array>
#include <string_view>

#include "common/version.h"
#include "rtcm/framer.h"

namespace quillon {

namespace {

constexpr std::array<unsigned, 6> kMessageNumbers = {1004, 1005, 1012, 1033, 1077, 1087};
constexpr unsigned kStationPosition = 1005;
constexpr unsigned kDescriptors = 1033;
constexpr unsigned kGlonassLegacy = 1012;
// Each message is drawn a payload size in this range; an epoch keeps the sum of its six sizes,
// so the stream's frames come as often and as large as they always have.
constexpr unsigned kMinPayload = 20;
constexpr unsigned kMaxPayload = 200;

// kDemoStationPlace at kDemoStationHeight in Earth-centred coordinates, in the message's units
// of 0.1 mm: the closed-form WGS84 conversion, evaluated in Python.
constexpr std::int64_t kArpX = 37832888564;
constexpr std::int64_t kArpY = 9016554393;
constexpr std::int64_t kArpZ = 50382778237;

// IGS's name for an antenna without a radome, and this program as the receiver.
constexpr std::string_view kAntenna = "ADVNULLANTENNA";
constexpr std::string_view kReceiverType = "QUILLON DEMO";
constexpr std::string_view kReceiverFirmware = kVersion;
constexpr std::string_view kReceiverSerial = "0001";

constexpr std::uint32_t kEpochMs = 1000;
constexpr std::uint32_t kMsPerWeek = 7 * 86'400'000;
constexpr std::uint32_t kMsPerDay = 86'400'000;

// Writes bit fields most significant bit first, as RTCM 3 payloads hold them.
class BitWriter {
 public:
  // The low `width` bits of `value` (a two's complement number keeps its sign bits).
  void Put(std::uint64_t value, unsigned width) {
    for (unsigned i = width; i-- > 0;) {
      if (bits_ % 8 == 0) bytes_.push_back('\0');
      if ((value >> i) & 1) bytes_.back() = static_cast<char>(bytes_.back() | (0x80 >> bits_ % 8));
      ++bits_;
    }
  }
  // A text field: its byte count in 8 bits, then its bytes.
  void Text(std::string_view text) {
    Put(text.size(), 8);
    for (const char c : text) Put(static_cast<unsigned char>(c), 8);
  }
  std::string& Bytes() { return bytes_; }

 private:
  std::string bytes_;
  std::size_t bits_ = 0;
};

std::string StationPosition() {
  BitWriter out;
  out.Put(kStationPosition, 12);
  out.Put(kDemoStationId, 12);
  out.Put(0, 6);       // ITRF realisation year
  out.Put(0b1100, 4);  // GPS and GLONASS observed; Galileo not; a physical station
  out.Put(static_cast<std::uint64_t>(kArpX), 38);
  out.Put(0, 2);  // oscillator indicator, reserved
  out.Put(static_cast<std::uint64_t>(kArpY), 38);
  out.Put(0, 2);  // quarter-cycle indicator
  out.Put(static_cast<std::uint64_t>(kArpZ), 38);
  return out.Bytes();
}

std::string Descriptors() {
  BitWriter out;
  out.Put(kDescriptors, 12);
  out.Put(kDemoStationId, 12);
  out.Text(kAntenna);
  out.Put(0, 8);  // antenna setup ID
  out.Text("");   // antenna serial number
  out.Text(kReceiverType);
  out.Text(kReceiverFirmware);
  out.Text(kReceiverSerial);
  return out.Bytes();
}

// An observation message's number, station ID and epoch time (GPS: ms of the week; GLONASS's
// legacy message: ms of the day in 27 bits), followed by `random` bytes up to `size` in all.
std::string Observations(unsigned number, std::uint32_t epochMs, int size,
                         std::string_view& random) {
  BitWriter out;
  out.Put(number, 12);
  out.Put(kDemoStationId, 12);
  if (number == kGlonassLegacy) {
    out.Put(epochMs % kMsPerDay, 27);
  } else {
    out.Put(epochMs % kMsPerWeek, 30);
  }
  std::string& payload = out.Bytes();
  const std::size_t fill =
      std::max(static_cast<std::size_t>(size), payload.size()) - payload.size();
  payload += random.substr(0, fill);
  random.remove_prefix(std::min(fill, random.size()));
  return payload;
}

}  // namespace

// xorshift32 needs a state other than zero.
CorrectionStream::CorrectionStream(std::uint32_t seed) : state_(seed == 0 ? 0x9E3779B9u : seed) {}

std::uint32_t CorrectionStream::NextRandom() {
  state_ ^= state_ << 13;
  state_ ^= state_ >> 17;
  state_ ^= state_ << 5;
  return state_;
}

void CorrectionStream::AppendEpoch() {
  std::array<int, kMessageNumbers.size()> sizes{};
  std::string random;
  for (int& size : sizes) {
    size = static_cast<int>(kMinPayload + NextRandom() % (kMaxPayload - kMinPayload + 1));
    for (int i = 1; i < size; ++i) random.push_back(static_cast<char>(NextRandom() & 0xFF));
  }
  const std::string station = StationPosition();
  const std::string descriptors = Descriptors();
  // The station messages have their own sizes; the four observation messages share what they
  // leave of the epoch's bytes (at least 12 bytes each: 20 drawn, less a quarter of what the
  // station messages take beyond their draws).
  const int spare = sizes[1] + sizes[3] - static_cast<int>(station.size() + descriptors.size());
  const int share = spare / 4;
  sizes[0] += spare - 3 * share;
  for (const std::size_t i : {2, 4, 5}) sizes[i] += share;

  const std::uint32_t epochMs = epoch_++ * kEpochMs;
  std::string_view pool = random;
  for (std::size_t i = 0; i < kMessageNumbers.size(); ++i) {
    const unsigned number = kMessageNumbers[i];
    if (number == kStationPosition) {
      pending_ += RtcmFrame(station);
    } else if (number == kDescriptors) {
      pending_ += RtcmFrame(descriptors);
    } else {
      pending_ += RtcmFrame(Observations(number, epochMs, sizes[i], pool));
    }
  }
}

std::string CorrectionStream::Next(std::size_t count) {
  while (pending_.size() < count) AppendEpoch();
  std::string bytes = pending_.substr(0, count);
  pending_.erase(0, count);
  return bytes;
}

}  // namespace quillon
