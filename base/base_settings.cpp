#include "base/base_settings.h"

#include <algorithm>

namespace quillon {

void EncodeModeFields(const BaseSettings& settings, SettingsImage& image) {
  std::copy(settings.reserved2800.begin(), settings.reserved2800.end(),
            image.begin() + kSharedPartSize);
}

void DecodeModeFields(const SettingsImage& image, BaseSettings& settings) {
  std::copy_n(image.begin() + kSharedPartSize, settings.reserved2800.size(),
              settings.reserved2800.begin());
}

}  // namespace quillon
