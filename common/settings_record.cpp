#include "common/settings_record.h"

#include <algorithm>

#include "common/baud.h"
#include "common/little_endian.h"
#include "common/settings_extension.h"

namespace quillon {
namespace {

// Offsets of the shared fields in the image.
constexpr std::size_t kOwnerAt = 0;
constexpr std::size_t kUserNameAt = 4;
constexpr std::size_t kPasswordAt = 36;
constexpr std::size_t kAddressAt = 68;
constexpr std::size_t kPortAt = 108;
constexpr std::size_t kComIndexAt = 112;
constexpr std::size_t kBaudIndexAt = 116;
constexpr std::size_t kReserved120At = 120;
constexpr std::size_t kComPortNameAt = 124;
constexpr std::size_t kMountPointAt = 164;
constexpr std::size_t kNoAuthenticationAt = 204;
constexpr std::size_t kReserved208At = 208;
constexpr std::size_t kSelectedHostAt = 212;
constexpr std::size_t kHostCountAt = 216;
constexpr std::size_t kHostsAt = 220;

// Offsets inside one host entry.
constexpr std::size_t kEntryAddressAt = 0;
constexpr std::size_t kEntryPortAt = 40;
constexpr std::size_t kEntryUserNameAt = 44;
constexpr std::size_t kEntryPasswordAt = 76;
constexpr std::size_t kEntrySelectedMountPointAt = 108;
constexpr std::size_t kEntryMountPointCountAt = 112;
constexpr std::size_t kEntryMountPointsAt = 116;
constexpr std::size_t kMountPointBytes = 40;

static_assert(kHostsAt + kMaxHosts * kHostEntrySize == kSharedPartSize);
static_assert(kEntryMountPointsAt + kMaxMountPoints * kMountPointBytes == kHostEntrySize);

template <std::size_t N>
void PutText(std::span<std::uint8_t> image, std::size_t offset, const WideField<N>& field) {
  for (std::size_t i = 0; i < N; ++i) PutUInt16(image, offset + 2 * i, field[i]);
}

template <std::size_t N>
void GetText(std::span<const std::uint8_t> image, std::size_t offset, WideField<N>& field) {
  for (std::size_t i = 0; i < N; ++i) {
    field[i] = static_cast<char16_t>(GetUInt16(image, offset + 2 * i));
  }
  // A field without a terminator is cut at its end, keeping surrogate pairs whole.
  const auto text = FieldText(field);
  if (text.size() == N) field[CutToUnits(text, N - 1).size()] = u'\0';
}

// A long text's image field; what the image cannot hold comes from the extension, if at all.
template <std::size_t N, std::size_t MaxBytes>
void PutText(std::span<std::uint8_t> image, std::size_t offset,
             const LongField<N, MaxBytes>& field) {
  PutText(image, offset, field.fixed);
}

template <std::size_t N, std::size_t MaxBytes>
void GetText(std::span<const std::uint8_t> image, std::size_t offset,
             LongField<N, MaxBytes>& field) {
  GetText(image, offset, field.fixed);
}

void EncodeHostEntry(const HostEntry& entry, std::span<std::uint8_t> at) {
  PutText(at, kEntryAddressAt, entry.address);
  PutInt32(at, kEntryPortAt, entry.port);
  PutText(at, kEntryUserNameAt, entry.userName);
  PutText(at, kEntryPasswordAt, entry.password);
  PutInt32(at, kEntrySelectedMountPointAt, entry.selectedMountPoint);
  PutInt32(at, kEntryMountPointCountAt, entry.mountPointCount);
  for (std::size_t i = 0; i < entry.mountPoints.size(); ++i) {
    PutText(at, kEntryMountPointsAt + i * kMountPointBytes, entry.mountPoints[i]);
  }
}

void DecodeHostEntry(std::span<const std::uint8_t> at, HostEntry& entry) {
  GetText(at, kEntryAddressAt, entry.address);
  entry.port = GetInt32(at, kEntryPortAt);
  GetText(at, kEntryUserNameAt, entry.userName);
  GetText(at, kEntryPasswordAt, entry.password);
  entry.selectedMountPoint = GetInt32(at, kEntrySelectedMountPointAt);
  entry.mountPointCount = GetInt32(at, kEntryMountPointCountAt);
  for (std::size_t i = 0; i < entry.mountPoints.size(); ++i) {
    GetText(at, kEntryMountPointsAt + i * kMountPointBytes, entry.mountPoints[i]);
  }
}

// A count limited to 0..max.
std::int32_t ClampCount(std::int32_t count, std::int32_t max) {
  return std::clamp(count, std::int32_t{0}, max);
}

// A position that names one of the `count` used entries, else 0.
std::int32_t ClampPosition(std::int32_t position, std::int32_t count) {
  return position >= 0 && position < count ? position : 0;
}

constexpr std::int32_t kMaxPort = 65535;

std::int32_t RepairPort(std::int32_t port) { return port >= 0 && port <= kMaxPort ? port : 0; }

// The whole field zero when its text holds a control character.
template <std::size_t N, std::size_t MaxBytes>
void RepairText(LongField<N, MaxBytes>& field) {
  if (!HasControlCharacter(FieldText(field))) return;
  field.fixed.fill(u'\0');
  field.whole.clear();
}

}  // namespace

void SetSharedDefaults(SettingsRecord& record) {
  record = SettingsRecord{};
  SetFieldText(record.userName, u"user");
  SetFieldText(record.password, u"mellowax");
  SetFieldText(record.address, u"0.0.0.0");
  record.port = 80;
  record.comIndex = 1;
  record.baudIndex = kDefaultBaudIndex;
  record.reserved120 = 0;
  SetFieldText(record.mountPoint, u"MNT0");
}

void ClampSettings(SettingsRecord& record) {
  record.hostCount = ClampCount(record.hostCount, kMaxHosts);
  record.selectedHost = ClampPosition(record.selectedHost, record.hostCount);
  for (auto& entry : record.hosts) {
    entry.mountPointCount = ClampCount(entry.mountPointCount, kMaxMountPoints);
    entry.selectedMountPoint = ClampPosition(entry.selectedMountPoint, entry.mountPointCount);
  }
}

void RepairSettings(SettingsRecord& record) {
  ClampSettings(record);
  RepairText(record.userName);
  RepairText(record.password);
  RepairText(record.address);
  RepairText(record.comPortName);
  RepairText(record.mountPoint);
  record.port = RepairPort(record.port);
  if (record.comIndex < -1 || record.comIndex > kMaxComIndex) record.comIndex = 1;
  if (record.baudIndex < 0 || record.baudIndex >= static_cast<std::int32_t>(kBaudRates.size())) {
    record.baudIndex = kDefaultBaudIndex;
  }
  if (record.noAuthentication != 1) record.noAuthentication = 0;
  for (auto& entry : record.hosts) {
    RepairText(entry.address);
    RepairText(entry.userName);
    RepairText(entry.password);
    for (auto& mountPoint : entry.mountPoints) RepairText(mountPoint);
    entry.port = RepairPort(entry.port);
  }
}

void EncodeSharedSettings(const SettingsRecord& record, SettingsImage& image) {
  const std::span<std::uint8_t> out(image);
  PutInt32(out, kOwnerAt, 0);
  PutText(out, kUserNameAt, record.userName);
  PutText(out, kPasswordAt, record.password);
  PutText(out, kAddressAt, record.address);
  PutInt32(out, kPortAt, record.port);
  PutInt32(out, kComIndexAt, record.comIndex);
  PutInt32(out, kBaudIndexAt, record.baudIndex);
  PutInt32(out, kReserved120At, record.reserved120);
  PutText(out, kComPortNameAt, record.comPortName);
  PutText(out, kMountPointAt, record.mountPoint);
  PutInt32(out, kNoAuthenticationAt, record.noAuthentication);
  PutInt32(out, kReserved208At, record.reserved208);
  PutInt32(out, kSelectedHostAt, record.selectedHost);
  PutInt32(out, kHostCountAt, record.hostCount);
  for (std::size_t i = 0; i < record.hosts.size(); ++i) {
    EncodeHostEntry(record.hosts[i], out.subspan(kHostsAt + i * kHostEntrySize, kHostEntrySize));
  }
}

void DecodeSharedSettings(std::span<const std::uint8_t> bytes, SettingsRecord& record) {
  const SettingsImage image = PaddedSettingsImage(bytes);
  const std::span<const std::uint8_t> in(image);
  // Nothing of what the record held before stays: a field that the image does not hold (the
  // extension's, such as the upstream choice) is the file's or its default.
  record = SettingsRecord{};
  GetText(in, kUserNameAt, record.userName);
  GetText(in, kPasswordAt, record.password);
  GetText(in, kAddressAt, record.address);
  record.port = GetInt32(in, kPortAt);
  record.comIndex = GetInt32(in, kComIndexAt);
  record.baudIndex = GetInt32(in, kBaudIndexAt);
  record.reserved120 = GetInt32(in, kReserved120At);
  GetText(in, kComPortNameAt, record.comPortName);
  GetText(in, kMountPointAt, record.mountPoint);
  record.noAuthentication = GetInt32(in, kNoAuthenticationAt);
  record.reserved208 = GetInt32(in, kReserved208At);
  record.selectedHost = GetInt32(in, kSelectedHostAt);
  record.hostCount = GetInt32(in, kHostCountAt);
  for (std::size_t i = 0; i < record.hosts.size(); ++i) {
    DecodeHostEntry(in.subspan(kHostsAt + i * kHostEntrySize, kHostEntrySize), record.hosts[i]);
  }
  RepairSettings(record);
  if (bytes.size() > kSettingsImageSize) {
    DecodeSettingsExtension(bytes.subspan(kSettingsImageSize), record);
  }
}

SettingsBytes SettingsFileBytes(const SettingsImage& image, const SettingsRecord& record) {
  SettingsBytes bytes(image.begin(), image.end());
  const SettingsBytes extension = EncodeSettingsExtension(record);
  bytes.insert(bytes.end(), extension.begin(), extension.end());
  return bytes;
}

SettingsImage PaddedSettingsImage(std::span<const std::uint8_t> bytes) {
  SettingsImage image{};
  const auto length = std::min(bytes.size(), image.size());
  std::copy_n(bytes.begin(), length, image.begin());
  return image;
}

}  // namespace quillon
