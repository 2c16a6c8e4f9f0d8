#include "rover/rover_settings.h"

#include <bit>

#include "common/host_history.h"
#include "common/little_endian.h"
#include "common/settings_file.h"

namespace quillon {
namespace {

constexpr std::size_t kOverrideLatitudeAt = 2800;
constexpr std::size_t kOverrideLongitudeAt = 2808;
constexpr std::size_t kOverrideEnabledAt = 2816;

}  // namespace

RoverSettings::RoverSettings(const RoverSettings& other)
    : SettingsRecord(other),
      overrideLatitude(other.overrideLatitude.load()),
      overrideLongitude(other.overrideLongitude.load()),
      overrideEnabled(other.overrideEnabled.load()) {}

RoverSettings& RoverSettings::operator=(const RoverSettings& other) {
  SettingsRecord::operator=(other);
  overrideLatitude.store(other.overrideLatitude.load());
  overrideLongitude.store(other.overrideLongitude.load());
  overrideEnabled.store(other.overrideEnabled.load());
  return *this;
}

SettingsImage EncodeRoverSettings(const RoverSettings& settings) {
  SettingsImage image{};
  EncodeSharedSettings(settings, image);
  PutLittleEndian(image, kOverrideLatitudeAt, 8,
                  std::bit_cast<std::uint64_t>(settings.overrideLatitude.load()));
  PutLittleEndian(image, kOverrideLongitudeAt, 8,
                  std::bit_cast<std::uint64_t>(settings.overrideLongitude.load()));
  image[kOverrideEnabledAt] = settings.overrideEnabled.load();
  return image;
}

void DecodeRoverSettings(std::span<const std::uint8_t> bytes, RoverSettings& settings) {
  const SettingsImage image = PaddedSettingsImage(bytes);
  DecodeSharedSettings(image, settings);
  settings.overrideLatitude.store(
      std::bit_cast<double>(GetLittleEndian(image, kOverrideLatitudeAt, 8)));
  settings.overrideLongitude.store(
      std::bit_cast<double>(GetLittleEndian(image, kOverrideLongitudeAt, 8)));
  settings.overrideEnabled.store(image[kOverrideEnabledAt]);
}

void SetDefaultSettings(RoverSettings& settings) {
  settings = RoverSettings{};
  SetSharedDefaults(settings);
}

bool ReadSettingsFile(RoverSettings& settings, const std::filesystem::path& folder) {
  const auto image = ReadSettingsImage(folder / kRoverSettingsFileName);
  if (!image) {
    SetDefaultSettings(settings);
    return false;
  }
  DecodeRoverSettings(*image, settings);
  return true;
}

bool WriteSettingsFile(const RoverSettings& settings, const std::filesystem::path& folder) {
  return WriteSettingsImage(folder / kRoverSettingsFileName, EncodeRoverSettings(settings));
}

bool RememberHost(RoverSettings& settings, const std::filesystem::path& folder) {
  UpdateHostHistory(settings);
  return WriteSettingsFile(settings, folder);
}

}  // namespace quillon
