#include "rtcm/message_fields.h"

#include <cstdint>
#include <utility>

#include "common/printable_text.h"

namespace quillon {
namespace {

constexpr unsigned kStationPosition = 1005;
constexpr unsigned kStationPositionAndHeight = 1006;
constexpr unsigned kAntennaDescriptor = 1007;
constexpr unsigned kAntennaDescriptorAndSerial = 1008;
constexpr unsigned kReceiverAndAntennaDescriptors = 1033;
constexpr double kMetresPerUnit = 0.0001;  // of the ARP coordinates and the antenna height

// Reads a payload's bit fields in order, most significant bit first. A read past the end
// gives 0 and marks the reader as overrun, so a decoder reads all its fields and checks once.
class BitReader {
 public:
  explicit BitReader(std::string_view bytes) : bytes_(bytes) {}

  // The next `width` (at most 64) bits.
  std::uint64_t Unsigned(unsigned width) {
    if (overrun_ || width > bytes_.size() * 8 - position_) {
      overrun_ = true;
      return 0;
    }
    std::uint64_t value = 0;
    for (unsigned i = 0; i < width; ++i, ++position_) {
      const auto byte = static_cast<unsigned char>(bytes_[position_ / 8]);
      value = (value << 1) | ((byte >> (7 - position_ % 8)) & 1);
    }
    return value;
  }

  // The next `width` (1 to 63) bits as a two's complement number.
  std::int64_t Signed(unsigned width) {
    const std::uint64_t sign = std::uint64_t{1} << (width - 1);
    return static_cast<std::int64_t>(Unsigned(width) ^ sign) - static_cast<std::int64_t>(sign);
  }

  void Skip(unsigned width) { Unsigned(width); }

  // A text field: an 8-bit count and that many bytes, of which the first kMaxDescriptorLength
  // are kept, made printable.
  std::string CountedText() {
    const std::uint64_t count = Unsigned(8);
    std::string text;
    for (std::uint64_t i = 0; i < count && !overrun_; ++i) {
      const auto byte = static_cast<char>(Unsigned(8));
      if (text.size() < kMaxDescriptorLength) text.push_back(byte);
    }
    return PrintableText(text);
  }

  bool Overrun() const { return overrun_; }

 private:
  std::string_view bytes_;
  std::size_t position_ = 0;  // in bits
  bool overrun_ = false;
};

// The message number and station ID that begin every message handled here.
struct MessageHeader {
  unsigned number = 0;
  unsigned stationId = 0;
};

MessageHeader ReadHeader(BitReader& reader) {
  MessageHeader header;
  header.number = static_cast<unsigned>(reader.Unsigned(12));
  header.stationId = static_cast<unsigned>(reader.Unsigned(12));
  return header;
}

double Coordinate(BitReader& reader) {
  return static_cast<double>(reader.Signed(38)) * kMetresPerUnit;
}

}  // namespace

std::optional<unsigned> MessageNumber(std::string_view payload) {
  BitReader reader(payload);
  const auto number = static_cast<unsigned>(reader.Unsigned(12));
  if (reader.Overrun()) return std::nullopt;
  return number;
}

bool IsMsmObservation(unsigned number) {
  return number >= 1071 && number <= 1137 && number % 10 >= 1 && number % 10 <= 7;
}

bool IsLegacyObservation(unsigned number) {
  return (number >= 1001 && number <= 1004) || (number >= 1009 && number <= 1012);
}

bool IsStationPosition(unsigned number) {
  return number == kStationPosition || number == kStationPositionAndHeight;
}

std::optional<unsigned> ObservingStationId(std::string_view payload) {
  BitReader reader(payload);
  const MessageHeader header = ReadHeader(reader);
  if (reader.Overrun() ||
      (!IsMsmObservation(header.number) && !IsLegacyObservation(header.number) &&
       !IsStationPosition(header.number))) {
    return std::nullopt;
  }
  return header.stationId;
}

std::optional<AntennaReferencePoint> DecodeAntennaReferencePoint(std::string_view payload) {
  BitReader reader(payload);
  const MessageHeader header = ReadHeader(reader);
  if (!IsStationPosition(header.number)) return std::nullopt;
  AntennaReferencePoint point;
  point.stationId = header.stationId;
  reader.Skip(6 + 4);  // ITRF year; GPS, GLONASS, Galileo and reference-station indicators
  point.ecef.x = Coordinate(reader);
  reader.Skip(2);  // single-receiver oscillator indicator, reserved
  point.ecef.y = Coordinate(reader);
  reader.Skip(2);  // quarter-cycle indicator
  point.ecef.z = Coordinate(reader);
  if (header.number == kStationPositionAndHeight) {
    point.antennaHeight = static_cast<double>(reader.Unsigned(16)) * kMetresPerUnit;
  }
  if (reader.Overrun()) return std::nullopt;
  return point;
}

bool MergeDescriptors(std::string_view payload, StationDescriptors& descriptors) {
  BitReader reader(payload);
  const MessageHeader header = ReadHeader(reader);
  const unsigned number = header.number;
  if (number != kAntennaDescriptor && number != kAntennaDescriptorAndSerial &&
      number != kReceiverAndAntennaDescriptors) {
    return false;
  }
  // Read into a copy, so that a message cut short changes nothing.
  StationDescriptors read = descriptors;
  read.antenna = reader.CountedText();
  reader.Skip(8);  // antenna setup ID
  if (number != kAntennaDescriptor) read.antennaSerial = reader.CountedText();
  if (number == kReceiverAndAntennaDescriptors) {
    read.receiverType = reader.CountedText();
    read.receiverFirmware = reader.CountedText();
    read.receiverSerial = reader.CountedText();
  }
  if (reader.Overrun()) return false;
  descriptors = std::move(read);
  return true;
}

}  // namespace quillon
