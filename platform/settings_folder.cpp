#include "platform/settings_folder.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <system_error>

namespace quillon {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

bool EnsureFolder(const std::filesystem::path& folder) {
  std::error_code error;
  if (std::filesystem::is_directory(folder, error)) return true;
  if (!std::filesystem::create_directories(folder, error)) return false;
  ::chmod(folder.c_str(), 0700);  // the files in it hold passwords
  return true;
}

}  // namespace

std::filesystem::path SettingsFolder() {
  if (const char* override = std::getenv("QUILLON_SETTINGS_DIR");
      override != nullptr && *override != '\0') {
    std::filesystem::path folder(override);
    if (EnsureFolder(folder)) return folder;
  }
  std::filesystem::path base;
  if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg == '/') {
    base = xdg;
  } else if (auto home = HomeFolder(); !home.empty()) {
    base = home / ".config";
  }
  if (!base.empty()) {
    const auto folder = base / "quillon";
    if (EnsureFolder(folder)) return folder;
  }
  std::error_code error;
  auto temporary = std::filesystem::temp_directory_path(error);
  return error ? std::filesystem::path("/tmp") : temporary;
}

}  // namespace quillon
