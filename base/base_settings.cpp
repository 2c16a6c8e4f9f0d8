#include "base/base_settings.h"

#include <algorithm>

#include "common/host_history.h"
#include "common/settings_file.h"

namespace quillon {

SettingsBytes EncodeBaseSettings(const BaseSettings& settings) {
  SettingsImage image{};
  EncodeSharedSettings(settings, image);
  std::copy(settings.reserved2800.begin(), settings.reserved2800.end(),
            image.begin() + kSharedPartSize);
  return SettingsFileBytes(image, settings);
}

void DecodeBaseSettings(std::span<const std::uint8_t> bytes, BaseSettings& settings) {
  const SettingsImage image = PaddedSettingsImage(bytes);
  DecodeSharedSettings(bytes, settings);
  std::copy_n(image.begin() + kSharedPartSize, settings.reserved2800.size(),
              settings.reserved2800.begin());
}

void SetDefaultSettings(BaseSettings& settings) {
  settings = BaseSettings{};
  SetSharedDefaults(settings);
}

bool ReadSettingsFile(BaseSettings& settings, const std::filesystem::path& folder,
                      std::string* problem) {
  const auto bytes = ReadSettingsBytes(SettingsFilePath(folder, kBaseSettingsFileName), problem);
  if (!bytes) {
    SetDefaultSettings(settings);
    return false;
  }
  DecodeBaseSettings(*bytes, settings);
  return true;
}

bool WriteSettingsFile(const BaseSettings& settings, const std::filesystem::path& folder,
                       std::string* problem) {
  return WriteSettingsBytes(SettingsFilePath(folder, kBaseSettingsFileName),
                            EncodeBaseSettings(settings), problem);
}

bool RememberHost(BaseSettings& settings, const std::filesystem::path& folder) {
  UpdateHostHistory(settings);
  return WriteSettingsFile(settings, folder);
}

}  // namespace quillon
