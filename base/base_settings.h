// The Base's settings record and its file "sourceinfo.bin".
#pragma once

#include <array>
#include <cstdint>

#include "common/mode_settings.h"
#include "common/settings_record.h"

namespace quillon {

inline constexpr char kBaseSettingsFileName[] = "sourceinfo.bin";

// The shared fields; the Base does not use the last 24 bytes and writes back what it read.
struct BaseSettings : SettingsRecord {
  static constexpr const char* kFileName = kBaseSettingsFileName;

  std::array<std::uint8_t, 24> reserved2800{};

  bool operator==(const BaseSettings&) const = default;
};

// The last 24 bytes, as read.
void EncodeModeFields(const BaseSettings& settings, SettingsImage& image);
void DecodeModeFields(const SettingsImage& image, BaseSettings& settings);

}  // namespace quillon
