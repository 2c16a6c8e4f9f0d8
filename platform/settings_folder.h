// The per-user folder that holds the settings files.
#pragma once

#include <filesystem>

namespace quillon {

// $QUILLON_SETTINGS_DIR when set; otherwise $XDG_CONFIG_HOME/quillon (default
// ~/.config/quillon), created with mode 0700 when missing; the temporary folder when that
// folder cannot be had.
std::filesystem::path SettingsFolder();

}  // namespace quillon
