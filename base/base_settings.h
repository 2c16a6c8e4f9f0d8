// The Base's settings record and its file "sourceinfo.bin".
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>

#include "common/settings_record.h"

namespace quillon {

inline constexpr char kBaseSettingsFileName[] = "sourceinfo.bin";

// The shared fields; the Base does not use the last 24 bytes and writes back what it read.
struct BaseSettings : SettingsRecord {
  std::array<std::uint8_t, 24> reserved2800{};

  bool operator==(const BaseSettings&) const = default;
};

// The record as its 2824-byte file image; the owner field is zero.
SettingsImage EncodeBaseSettings(const BaseSettings& settings);

// The record from an image of any length (see DecodeSharedSettings for short images, texts
// and out-of-range counts).
void DecodeBaseSettings(std::span<const std::uint8_t> image, BaseSettings& settings);

// All zero, then the defaults of SetSharedDefaults.
void SetDefaultSettings(BaseSettings& settings);

// Reads "sourceinfo.bin" in `folder`. False when there is no readable file; the record then
// holds the defaults.
bool ReadSettingsFile(BaseSettings& settings, const std::filesystem::path& folder);

// Writes "sourceinfo.bin" in `folder`, mode 0600. False, and the old file kept, when it cannot.
bool WriteSettingsFile(const BaseSettings& settings, const std::filesystem::path& folder);

// After a login: records the caster and mount point in the host history, then writes the file.
// Returns what WriteSettingsFile returned.
bool RememberHost(BaseSettings& settings, const std::filesystem::path& folder);

}  // namespace quillon
