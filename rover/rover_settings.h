// The Rover's settings record and its file "ntripinfo.bin".
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "common/settings_record.h"

namespace quillon {

inline constexpr char kRoverSettingsFileName[] = "ntripinfo.bin";

// The shared fields plus the GGA override position. The override values are atomics because
// the session worker reads them on every pass while the override dialog may write them; a pass
// may see a new latitude with an old longitude. A default-constructed record is all zero.
struct RoverSettings : SettingsRecord {
  RoverSettings() = default;
  RoverSettings(const RoverSettings& other);
  RoverSettings& operator=(const RoverSettings& other);
  // The inherited comparison would ignore the override fields; compare the file images
  // (EncodeRoverSettings) instead.
  bool operator==(const RoverSettings&) const = delete;

  std::atomic<double> overrideLatitude{0.0};   // degrees, north positive
  std::atomic<double> overrideLongitude{0.0};  // degrees, east positive
  std::atomic<std::uint8_t> overrideEnabled{0};
};

// The record as its file: the 2824-byte image, whose owner field and padding are zero, then the
// extension when a text does not fit the image.
SettingsBytes EncodeRoverSettings(const RoverSettings& settings);

// The record from a file of any length (see DecodeSharedSettings for short images, texts, the
// extension and out-of-range fields). An override flag other than 0 or 1 reads as 0; a latitude or
// longitude that is not finite or beyond 90 or 180 degrees reads as 0 and switches the
// override off.
void DecodeRoverSettings(std::span<const std::uint8_t> bytes, RoverSettings& settings);

// All zero, then the defaults of SetSharedDefaults.
void SetDefaultSettings(RoverSettings& settings);

// Reads "ntripinfo.bin" in `folder`. False when there is no readable file; the record then
// holds the defaults. `problem` as ReadSettingsBytes sets it.
bool ReadSettingsFile(RoverSettings& settings, const std::filesystem::path& folder,
                      std::string* problem = nullptr);

// Writes "ntripinfo.bin" in `folder`, mode 0600. False, and the old file kept, when it cannot;
// `problem` as WriteSettingsBytes sets it.
bool WriteSettingsFile(const RoverSettings& settings, const std::filesystem::path& folder,
                       std::string* problem = nullptr);

// After a login: records the caster and mount point in the host history, then writes the file.
// Returns what WriteSettingsFile returned.
bool RememberHost(RoverSettings& settings, const std::filesystem::path& folder);

}  // namespace quillon
