// The per-user folder that holds the settings files. The files hold passwords, and a file
// planted where other users can write could send them to another caster, so settings are
// only ever kept in a private folder: a directory of this user's that no one else can write.
#pragma once

#include <filesystem>
#include <string>

namespace quillon {

// Whether `folder` is a directory owned by this user without write permission for its group
// or for others.
bool IsPrivateFolder(const std::filesystem::path& folder);

// Makes `folder` and its missing parents when they are missing, each with mode 0700 whatever
// the umask; true when it then is a private folder. An existing folder is used as it is, never loosened or tightened.
// Otherwise false with `problem` set to a short reason naming the folder.
bool MakePrivateFolder(const std::filesystem::path& folder, std::string& problem);

// The settings folder: $QUILLON_SETTINGS_DIR when set; otherwise $XDG_CONFIG_HOME/quillon
// (default ~/.config/quillon), or when that cannot be had, $XDG_RUNTIME_DIR/quillon and then
// "quillon-UID" in the temporary folder. Each is made when missing and used only when it is
// private. An empty path when there is none (or $QUILLON_SETTINGS_DIR names one that is not
// private), with `problem` set: the program then runs without saving.
std::filesystem::path FindSettingsFolder(std::string& problem);

// FindSettingsFolder; the first time in a process that there is none, says so on standard
// error.
std::filesystem::path SettingsFolder();

}  // namespace quillon
