#include "common/settings_extension.h"

#include <algorithm>
#include <array>
#include <map>
#include <optional>
#include <string>
#include <string_view>

#include "common/little_endian.h"

namespace quillon {
namespace {

constexpr std::uint8_t kMagic[] = {'Z', 'Q', 'E', 'X'};
constexpr std::uint16_t kVersion = 1;
constexpr std::uint8_t kNoSlot = 0xFF;
constexpr std::size_t kRecordHeaderSize = 5;

// Five texts of the record's own, and three and ten mount points per host entry, a protocol for
// the record and each entry, and the upstream choice, all at their longest, still make an
// extension that is read.
static_assert((5 + kMaxHosts * (3 + kMaxMountPoints)) * (kRecordHeaderSize + 255) +
                  (1 + kMaxHosts) * (kRecordHeaderSize + 2 + kMaxCaFileBytes) +
                  kRecordHeaderSize + 2 <=
              kMaxExtensionRecordBytes);

// Where a value lives: its id, and the host entry and mount point it belongs to.
struct ValueKey {
  ExtensionValueId id;
  std::uint8_t host = kNoSlot;
  std::uint8_t mountPoint = kNoSlot;

  auto operator<=>(const ValueKey&) const = default;
};

// Calls visit(key, value) for every value the extension can carry, in file order. `Record` is
// SettingsRecord, const or not.
template <class Record, class Visit>
void ForEachValue(Record& record, Visit&& visit) {
  using Id = ExtensionValueId;
  visit(ValueKey{Id::kUserName}, record.userName);
  visit(ValueKey{Id::kPassword}, record.password);
  visit(ValueKey{Id::kAddress}, record.address);
  visit(ValueKey{Id::kMountPoint}, record.mountPoint);
  visit(ValueKey{Id::kDevicePath}, record.comPortName);
  visit(ValueKey{Id::kCasterProtocol}, record.protocol);
  visit(ValueKey{Id::kUpstream}, record.upstream);
  for (std::uint8_t host = 0; host < kMaxHosts; ++host) {
    auto& entry = record.hosts[host];
    visit(ValueKey{Id::kAddress, host}, entry.address);
    visit(ValueKey{Id::kUserName, host}, entry.userName);
    visit(ValueKey{Id::kPassword, host}, entry.password);
    visit(ValueKey{Id::kCasterProtocol, host}, entry.protocol);
    for (std::uint8_t slot = 0; slot < kMaxMountPoints; ++slot) {
      visit(ValueKey{Id::kMountPoint, host, slot}, entry.mountPoints[slot]);
    }
  }
}

// A long text's bytes for the file; nothing when its image field holds it.
template <std::size_t N, std::size_t MaxBytes>
std::optional<std::string> ExtensionBytes(const LongField<N, MaxBytes>& field) {
  if (field.whole.empty()) return std::nullopt;
  return ToUtf8(field.whole);
}

// Takes a long text read from the file, if it can be trusted (see DecodeSettingsExtension).
template <std::size_t N, std::size_t MaxBytes>
void TakeExtensionBytes(std::string_view bytes, LongField<N, MaxBytes>& field) {
  if (bytes.size() > MaxBytes || !IsValidUtf8(bytes)) return;
  const std::u16string text = FromUtf8(bytes);
  if (text.size() <= N - 1 || HasControlCharacter(text)) return;
  if (CutToUnits(text, N - 1) != FieldText(field.fixed)) return;
  field.whole = text;
}

// A protocol's bytes; nothing for NTRIP 1 without TLS or a CA file, which every caster starts
// with.
std::optional<std::string> ExtensionBytes(const CasterProtocol& protocol) {
  if (protocol == CasterProtocol{}) return std::nullopt;
  std::string bytes;
  bytes.push_back(static_cast<char>(protocol.version));
  bytes.push_back(protocol.tls ? 1 : 0);
  return bytes + protocol.caFile;
}

void TakeExtensionBytes(std::string_view bytes, CasterProtocol& protocol) {
  if (bytes.size() < 2 || bytes.size() - 2 > kMaxCaFileBytes) return;
  const auto version = static_cast<std::uint8_t>(bytes[0]);
  const auto tls = static_cast<std::uint8_t>(bytes[1]);
  const std::string_view caFile = bytes.substr(2);
  if ((version != 1 && version != 2) || tls > 1 || (tls == 1 && version != 2)) return;
  if (!caFile.empty() && (!caFile.starts_with('/') || !IsValidUtf8(caFile) ||
                          HasControlCharacter(FromUtf8(caFile)))) {
    return;
  }
  protocol = {static_cast<NtripVersion>(version), tls == 1, std::string(caFile)};
}

// The upstream choice's bytes; nothing for the whole output, the default.
std::optional<std::string> ExtensionBytes(const UpstreamChoice& choice) {
  if (choice.ggaSeconds == 0) return std::nullopt;
  std::array<std::uint8_t, 2> bytes{};
  PutUInt16(bytes, 0, static_cast<std::uint16_t>(choice.ggaSeconds));
  return std::string(bytes.begin(), bytes.end());
}

// Takes an interval read from the file when it is one the options allow.
void TakeExtensionBytes(std::string_view bytes, UpstreamChoice& choice) {
  if (bytes.size() != 2) return;
  const std::int32_t seconds =
      GetUInt16(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()), 0);
  if (seconds >= kMinGgaSeconds && seconds <= kMaxGgaSeconds) choice.ggaSeconds = seconds;
}

void Append(SettingsBytes& bytes, std::size_t width, std::uint64_t value) {
  bytes.resize(bytes.size() + width);
  PutLittleEndian(bytes, bytes.size() - width, width, value);
}

// The records of a sound extension, or nothing.
std::optional<std::span<const std::uint8_t>> RecordsOf(std::span<const std::uint8_t> extension) {
  if (extension.size() < kExtensionHeaderSize + kExtensionChecksumSize ||
      !std::equal(std::begin(kMagic), std::end(kMagic), extension.begin()) ||
      GetUInt16(extension, 4) != kVersion) {
    return std::nullopt;
  }
  const std::uint64_t length = GetLittleEndian(extension, 6, 4);
  if (length > kMaxExtensionRecordBytes ||
      length != extension.size() - kExtensionHeaderSize - kExtensionChecksumSize) {
    return std::nullopt;
  }
  const std::size_t checked = extension.size() - kExtensionChecksumSize;
  if (Crc32(extension.first(checked)) != GetLittleEndian(extension, checked, 4)) {
    return std::nullopt;
  }
  return extension.subspan(kExtensionHeaderSize, static_cast<std::size_t>(length));
}

// Every record by its key (the first of equal keys), or nothing when one runs past the end.
std::optional<std::map<ValueKey, std::string_view>> ReadRecords(
    std::span<const std::uint8_t> records) {
  std::map<ValueKey, std::string_view> values;
  while (!records.empty()) {
    if (records.size() < kRecordHeaderSize) return std::nullopt;
    const std::size_t size = GetUInt16(records, 3);
    if (records.size() - kRecordHeaderSize < size) return std::nullopt;
    const ValueKey key{static_cast<ExtensionValueId>(records[0]), records[1], records[2]};
    const auto* value = reinterpret_cast<const char*>(records.data() + kRecordHeaderSize);
    values.emplace(key, std::string_view(value, size));
    records = records.subspan(kRecordHeaderSize + size);
  }
  return values;
}

}  // namespace

SettingsBytes EncodeSettingsExtension(const SettingsRecord& record) {
  SettingsBytes records;
  ForEachValue(record, [&records](const ValueKey& key, const auto& field) {
    const std::optional<std::string> value = ExtensionBytes(field);
    if (!value) return;
    records.push_back(static_cast<std::uint8_t>(key.id));
    records.push_back(key.host);
    records.push_back(key.mountPoint);
    Append(records, 2, value->size());
    records.insert(records.end(), value->begin(), value->end());
  });
  if (records.empty()) return {};

  SettingsBytes extension(std::begin(kMagic), std::end(kMagic));
  Append(extension, 2, kVersion);
  Append(extension, 4, records.size());
  extension.insert(extension.end(), records.begin(), records.end());
  Append(extension, 4, Crc32(extension));
  return extension;
}

void DecodeSettingsExtension(std::span<const std::uint8_t> extension, SettingsRecord& record) {
  const auto records = RecordsOf(extension);
  if (!records) return;
  const auto values = ReadRecords(*records);
  if (!values) return;
  ForEachValue(record, [&values](const ValueKey& key, auto& field) {
    if (const auto found = values->find(key); found != values->end()) {
      TakeExtensionBytes(found->second, field);
    }
  });
}

std::uint32_t Crc32(std::span<const std::uint8_t> bytes) {
  std::uint32_t crc = 0xFFFFFFFF;
  for (const std::uint8_t byte : bytes) {
    crc ^= byte;
    for (int bit = 0; bit < 8; ++bit) crc = (crc >> 1) ^ (0xEDB88320 & (0 - (crc & 1)));
  }
  return ~crc;
}

}  // namespace quillon
