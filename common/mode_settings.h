// What the Rover's and the Base's settings records do alike: their file's bytes, their defaults,
// reading and writing their file, and remembering a login. Each mode's record brings only what
// is its own: the name of its file and its bytes 2800..2823 of the image.
#pragma once

#include <concepts>
#include <cstdint>
#include <filesystem>
#include <span>
#include <string>

#include "common/host_history.h"
#include "common/settings_file.h"
#include "common/settings_record.h"

namespace quillon {

// A mode's settings record: the shared fields, `Settings::kFileName` (its file's name in the
// settings folder), and EncodeModeFields and DecodeModeFields beside the type, which write and
// read the mode's own bytes 2800..2823 of the image.
template <class Settings>
concept ModeSettings = std::derived_from<Settings, SettingsRecord> &&
    requires(const Settings& in, Settings& out, SettingsImage& image, const SettingsImage& read) {
  { Settings::kFileName } -> std::convertible_to<const char*>;
  EncodeModeFields(in, image);
  DecodeModeFields(read, out);
};

// The record as its file: the 2824-byte image, whose owner field is zero, then the extension
// when a text does not fit the image.
template <ModeSettings Settings>
SettingsBytes EncodeSettings(const Settings& settings) {
  SettingsImage image{};
  EncodeSharedSettings(settings, image);
  EncodeModeFields(settings, image);
  return SettingsFileBytes(image, settings);
}

// The record from a file of any length (see DecodeSharedSettings for short images, texts, the
// extension and out-of-range fields, and the mode's DecodeModeFields for its own bytes).
template <ModeSettings Settings>
void DecodeSettings(std::span<const std::uint8_t> bytes, Settings& settings) {
  DecodeSharedSettings(bytes, settings);
  DecodeModeFields(PaddedSettingsImage(bytes), settings);
}

// All zero, then the defaults of SetSharedDefaults.
template <ModeSettings Settings>
void SetDefaultSettings(Settings& settings) {
  settings = Settings{};
  SetSharedDefaults(settings);
}

// Reads the mode's file in `folder`. False when there is no readable file; the record then
// holds the defaults. `problem` as ReadSettingsBytes sets it.
template <ModeSettings Settings>
bool ReadSettingsFile(Settings& settings, const std::filesystem::path& folder,
                      std::string* problem = nullptr) {
  const auto bytes = ReadSettingsBytes(SettingsFilePath(folder, Settings::kFileName), problem);
  if (!bytes) {
    SetDefaultSettings(settings);
    return false;
  }
  DecodeSettings(*bytes, settings);
  return true;
}

// Writes the mode's file in `folder`, mode 0600. False, and the old file kept, when it cannot;
// `problem` as WriteSettingsBytes sets it.
template <ModeSettings Settings>
bool WriteSettingsFile(const Settings& settings, const std::filesystem::path& folder,
                       std::string* problem = nullptr) {
  return WriteSettingsBytes(SettingsFilePath(folder, Settings::kFileName), EncodeSettings(settings),
                            problem);
}

// After a login: records the caster and mount point in the host history, then writes the file.
// Returns what WriteSettingsFile returned.
template <ModeSettings Settings>
bool RememberHost(Settings& settings, const std::filesystem::path& folder) {
  UpdateHostHistory(settings);
  return WriteSettingsFile(settings, folder);
}

}  // namespace quillon
