// Reading and writing a settings file: one whole 2824-byte record image, private to the user.
#pragma once

#include <filesystem>
#include <optional>

#include "common/settings_record.h"

namespace quillon {

// The file's bytes as far as they go in an image of 2824 bytes: a shorter file leaves the rest
// zero, a longer one is read only up to the image's end. nullopt when the file is missing, is
// not a regular file or cannot be read.
std::optional<SettingsImage> ReadSettingsImage(const std::filesystem::path& file);

// Replaces `file` with `image`, mode 0600, as ReplaceFile does: a failed or interrupted write
// leaves the old settings whole. False, with the old file untouched, when that cannot be done.
bool WriteSettingsImage(const std::filesystem::path& file, const SettingsImage& image);

}  // namespace quillon
