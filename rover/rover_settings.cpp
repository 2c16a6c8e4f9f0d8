#include "rover/rover_settings.h"

#include <bit>
#include <cmath>

#include "common/little_endian.h"

namespace quillon {
namespace {

constexpr std::size_t kOverrideLatitudeAt = 2800;
constexpr std::size_t kOverrideLongitudeAt = 2808;
constexpr std::size_t kOverrideEnabledAt = 2816;
constexpr double kMaxLatitude = 90.0;
constexpr double kMaxLongitude = 180.0;

bool InRange(double degrees, double limit) {
  return std::isfinite(degrees) && std::fabs(degrees) <= limit;
}

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

void EncodeModeFields(const RoverSettings& settings, SettingsImage& image) {
  PutLittleEndian(image, kOverrideLatitudeAt, 8,
                  std::bit_cast<std::uint64_t>(settings.overrideLatitude.load()));
  PutLittleEndian(image, kOverrideLongitudeAt, 8,
                  std::bit_cast<std::uint64_t>(settings.overrideLongitude.load()));
  image[kOverrideEnabledAt] = settings.overrideEnabled.load();
}

void DecodeModeFields(const SettingsImage& image, RoverSettings& settings) {
  const double latitude = std::bit_cast<double>(GetLittleEndian(image, kOverrideLatitudeAt, 8));
  const double longitude = std::bit_cast<double>(GetLittleEndian(image, kOverrideLongitudeAt, 8));
  const bool latitudeValid = InRange(latitude, kMaxLatitude);
  const bool longitudeValid = InRange(longitude, kMaxLongitude);
  // A position that is not one switches the override off rather than reach the caster.
  settings.overrideLatitude.store(latitudeValid ? latitude : 0.0);
  settings.overrideLongitude.store(longitudeValid ? longitude : 0.0);
  settings.overrideEnabled.store(
      image[kOverrideEnabledAt] == 1 && latitudeValid && longitudeValid ? 1 : 0);
}

}  // namespace quillon
