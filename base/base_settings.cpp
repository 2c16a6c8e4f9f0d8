#include "base/base_settings.h"

#include <algorithm>

#include "common/host_history.h"
#include "common/settings_file.h"

namespace quillon {

SettingsImage EncodeBaseSettings(const BaseSettings& settings) {
  SettingsImage image{};
  EncodeSharedSettings(settings, image);
  std::copy(settings.reserved2800.begin(), settings.reserved2800.end(),
            image.begin() + kSharedPartSize);
  return image;
}

void DecodeBaseSettings(std::span<const std::uint8_t> bytes, BaseSettings& settings) {
  const SettingsImage image = PaddedSettingsImage(bytes);
  DecodeSharedSettings(image, settings);
  std::copy_n(image.begin() + kSharedPartSize, settings.reserved2800.size(),
              settings.reserved2800.begin());
}

void SetDefaultSettings(BaseSettings& settings) {
  settings = BaseSettings{};
  SetSharedDefaults(settings);
}

bool ReadSettingsFile(BaseSettings& settings, const std::filesystem::path& folder) {
  const auto image = ReadSettingsImage(SettingsFilePath(folder, kBaseSettingsFileName));
  if (!image) {
    SetDefaultSettings(settings);
    return false;
  }
  DecodeBaseSettings(*image, settings);
  return true;
}

bool WriteSettingsFile(const BaseSettings& settings, const std::filesystem::path& folder) {
  return WriteSettingsImage(SettingsFilePath(folder, kBaseSettingsFileName),
                            EncodeBaseSettings(settings));
}

bool RememberHost(BaseSettings& settings, const std::filesystem::path& folder) {
  UpdateHostHistory(settings);
  return WriteSettingsFile(settings, folder);
}

}  // namespace quillon
