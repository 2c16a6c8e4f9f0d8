// The Rover's settings record and its file "ntripinfo.bin".
#pragma once

#include <atomic>
#include <cstdint>

#include "common/mode_settings.h"
#include "common/settings_record.h"

namespace quillon {

inline constexpr char kRoverSettingsFileName[] = "ntripinfo.bin";

// The shared fields plus the GGA override position. The override values are atomics because
// the session worker reads them on every pass while the override dialog may write them; a pass
// may see a new latitude with an old longitude. A default-constructed record is all zero.
struct RoverSettings : SettingsRecord {
  static constexpr const char* kFileName = kRoverSettingsFileName;

  RoverSettings() = default;
  RoverSettings(const RoverSettings& other);
  RoverSettings& operator=(const RoverSettings& other);
  // The inherited comparison would ignore the override fields; compare the file images
  // (EncodeSettings) instead.
  bool operator==(const RoverSettings&) const = delete;

  std::atomic<double> overrideLatitude{0.0};   // degrees, north positive
  std::atomic<double> overrideLongitude{0.0};  // degrees, east positive
  std::atomic<std::uint8_t> overrideEnabled{0};
};

// The override position at the image's end, padding zero.
void EncodeModeFields(const RoverSettings& settings, SettingsImage& image);

// The override position from the image. A flag other than 0 or 1 reads as 0; a latitude or
// longitude that is not finite or beyond 90 or 180 degrees reads as 0 and switches the
// override off.
void DecodeModeFields(const SettingsImage& image, RoverSettings& settings);

}  // namespace quillon
