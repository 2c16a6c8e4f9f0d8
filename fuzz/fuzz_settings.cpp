// Arbitrary bytes as a settings file, its extension after byte 2824 included: decoding must stay
// inside the records and bring every field into range, a long text must be one the extension may
// hold, the result must encode to a file that decodes to the same record, and the history must
// stay in range.
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "base/base_settings.h"
#include "common/host_history.h"
#include "common/little_endian.h"
#include "common/settings_extension.h"
#include "rover/rover_settings.h"

namespace {

using namespace quillon;

void Check(bool condition) {
  if (!condition) std::abort();
}

bool IsPort(std::int32_t port) { return port >= 0 && port <= 65535; }

// Nothing that could end a request header; a long text within its maximum, longer than the
// image's field and beginning with what that field holds.
template <std::size_t N, std::size_t MaxBytes>
void CheckText(const LongField<N, MaxBytes>& field) {
  Check(!HasControlCharacter(FieldText(field)));
  if (field.whole.empty()) return;
  Check(field.whole.size() > N - 1 && Utf8Size(field.whole) <= MaxBytes);
  Check(CutToUnits(field.whole, N - 1) == FieldText(field.fixed));
}

void CheckInRange(const SettingsRecord& record) {
  Check(record.noAuthentication == 0 || record.noAuthentication == 1);
  Check(record.baudIndex >= 0 && record.baudIndex <= 6);
  Check(IsPort(record.port));
  CheckText(record.userName);
  CheckText(record.password);
  CheckText(record.address);
  CheckText(record.mountPoint);
  CheckText(record.comPortName);
  Check(record.hostCount >= 0 && record.hostCount <= kMaxHosts);
  Check(record.hostCount == 0 ||
        (record.selectedHost >= 0 && record.selectedHost < record.hostCount));
  for (const auto& entry : record.hosts) {
    CheckText(entry.address);
    CheckText(entry.userName);
    CheckText(entry.password);
    for (const auto& mountPoint : entry.mountPoints) CheckText(mountPoint);
    Check(IsPort(entry.port));
    Check(entry.mountPointCount >= 0 && entry.mountPointCount <= kMaxMountPoints);
    Check(entry.mountPointCount == 0 ||
          (entry.selectedMountPoint >= 0 && entry.selectedMountPoint < entry.mountPointCount));
  }
}

// `bytes` with the checksum at the end made right for what precedes it from byte 2824 on, so that
// mutated extension records get past it to the checks of their values.
SettingsBytes Sealed(std::span<const std::uint8_t> bytes) {
  SettingsBytes sealed(bytes.begin(), bytes.end());
  if (sealed.size() < kSettingsImageSize + kExtensionHeaderSize + kExtensionChecksumSize) {
    return sealed;
  }
  const std::span<std::uint8_t> extension = std::span(sealed).subspan(kSettingsImageSize);
  const std::size_t checked = extension.size() - kExtensionChecksumSize;
  PutLittleEndian(extension, checked, kExtensionChecksumSize, Crc32(extension.first(checked)));
  return sealed;
}

void CheckFile(std::span<const std::uint8_t> bytes) {
  RoverSettings rover;
  DecodeSettings(bytes, rover);
  CheckInRange(rover);
  Check(rover.overrideEnabled.load() == 0 || (std::fabs(rover.overrideLatitude.load()) <= 90.0 &&
                                              std::fabs(rover.overrideLongitude.load()) <= 180.0));
  const SettingsBytes roverImage = EncodeSettings(rover);
  Check(roverImage.size() >= kSettingsImageSize && roverImage.size() <= kMaxSettingsFileSize);
  RoverSettings roverAgain;
  DecodeSettings(roverImage, roverAgain);
  Check(static_cast<const SettingsRecord&>(roverAgain) ==
        static_cast<const SettingsRecord&>(rover));
  // The image compares the override doubles bit for bit (a NaN is not equal to itself).
  Check(EncodeSettings(roverAgain) == roverImage);

  BaseSettings base;
  DecodeSettings(bytes, base);
  CheckInRange(base);
  const SettingsBytes baseImage = EncodeSettings(base);
  Check(baseImage.size() >= kSettingsImageSize && baseImage.size() <= kMaxSettingsFileSize);
  BaseSettings baseAgain;
  DecodeSettings(baseImage, baseAgain);
  Check(baseAgain == base);

  // A login remembered on top of whatever the file held.
  UpdateHostHistory(base);
  CheckInRange(base);
  Check(FindHost(base, FieldText(base.address)) == base.selectedHost);
  const HostEntry& entry = base.hosts[static_cast<std::size_t>(base.selectedHost)];
  Check(FieldText(entry.mountPoints[static_cast<std::size_t>(entry.selectedMountPoint)]) ==
        FieldText(base.mountPoint));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> bytes(data, size);
  CheckFile(bytes);
  CheckFile(Sealed(bytes));
  return 0;
}
