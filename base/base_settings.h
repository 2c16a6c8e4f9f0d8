// The Base's settings record and its file "sourceinfo.bin".
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "common/settings_record.h"

namespace quillon {

inline constexpr char kBaseSettingsFileName[] = "sourceinfo.bin";

// The shared fields; the Base does not use the last 24 bytes and writes back what it read.
struct BaseSettings : SettingsRecord {
  std::array<std::uint8_t, 24> reserved2800{};

  bool operator==(const BaseSettings&) const = default;
};

// The record as its file: the 2824-byte image, whose owner field is zero, then the extension
// when a text does not fit the image.
SettingsBytes EncodeBaseSettings(const BaseSettings& settings);

// The record from a file of any length (see DecodeSharedSettings for short images, texts, the
// extension and out-of-range counts).
void DecodeBaseSettings(std::span<const std::uint8_t> bytes, BaseSettings& settings);

// All zero, then the defaults of SetSharedDefaults.
void SetDefaultSettings(BaseSettings& settings);

// Reads "sourceinfo.bin" in `folder`. False when there is no readable file; the record then
// holds the defaults. `problem` as ReadSettingsBytes sets it.
bool ReadSettingsFile(BaseSettings& settings, const std::filesystem::path& folder,
                      std::string* problem = nullptr);

// Writes "sourceinfo.bin" in `folder`, mode 0600. False, and the old file kept, when it cannot;
// `problem` as WriteSettingsBytes sets it.
bool WriteSettingsFile(const BaseSettings& settings, const std::filesystem::path& folder,
                       std::string* problem = nullptr);

// After a login: records the caster and mount point in the host history, then writes the file.
// Returns what WriteSettingsFile returned.
bool RememberHost(BaseSettings& settings, const std::filesystem::path& folder);

}  // namespace quillon
