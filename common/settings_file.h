// Reading and writing a settings file: the 2824-byte record image and its extension, private
// to the user, never through a link.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "common/settings_record.h"

namespace quillon {

// The file `name` in the settings folder `folder`. An empty folder stands for "no settings
// folder" (none private to the user could be had): the path is then empty too, and reading
// and writing it do nothing.
std::filesystem::path SettingsFilePath(const std::filesystem::path& folder, std::string_view name);

// The file's bytes, at most kMaxSettingsFileSize (anything past that is no extension this
// program wrote). nullopt when the file is missing, is a symbolic link (never followed: a link
// could point the reader at another file, such as /etc/shadow for a program run by root), is
// not a regular file, belongs to another user (who could have planted it) or cannot be read;
// for all but a missing file `problem`, when given, is set to one line for the user that names
// the file.
std::optional<SettingsBytes> ReadSettingsBytes(const std::filesystem::path& file,
                                               std::string* problem = nullptr);

// Replaces `file` with `bytes`, mode 0600, as ReplaceFile does (a link in its place is
// replaced, its target left alone): a failed or interrupted write leaves the old settings whole.
// false, with the old file untouched, when that cannot be done; `problem`, when given, is then
// set to one line for the user that names the file and the system's reason (left empty for an
// empty path: without a settings folder nothing is saved, as the user has been told).
bool WriteSettingsBytes(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                        std::string* problem = nullptr);

}  // namespace quillon
