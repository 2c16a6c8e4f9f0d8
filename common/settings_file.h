// Reading and writing a settings file: one whole 2824-byte record image, private to the user.
#pragma once

#include <filesystem>
#include <optional>
#include <string_view>

#include "common/settings_record.h"

namespace quillon {

// The file `name` in the settings folder `folder`. An empty folder stands for "no settings
// folder" (none private to the user could be had): the path is then empty too, and reading
// and writing it do nothing.
std::filesystem::path SettingsFilePath(const std::filesystem::path& folder, std::string_view name);

// The file's bytes as far as they go in an image of 2824 bytes: a shorter file leaves the rest
// zero, a longer one is read only up to the image's end. nullopt when the file is missing, is
// not a regular file, belongs to another user (who could have planted it) or cannot be read.
std::optional<SettingsImage> ReadSettingsImage(const std::filesystem::path& file);

// Replaces `file` with `image`, mode 0600, as ReplaceFile does: a failed or interrupted write
// leaves the old settings whole. False, with the old file untouched, when that cannot be done.
bool WriteSettingsImage(const std::filesystem::path& file, const SettingsImage& image);

}  // namespace quillon
