#include "platform/settings_folder.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "common/file_descriptor.h"

namespace quillon {
namespace {

std::filesystem::path HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') return home;
  if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    return entry->pw_dir;
  }
  return {};
}

// An absolute folder from the environment variable `name`, or an empty path.
std::filesystem::path FolderFromEnvironment(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && *value == '/' ? std::filesystem::path(value) : std::filesystem::path();
}

// Makes each missing folder on the way to `folder`, private at once (no moment in which another
// user could put a file in it) and 0700 whatever the umask, which could leave the owner without
// the right to write. false with errno set when one cannot be made.
bool MakeMissingFolders(const std::filesystem::path& folder) {
  std::filesystem::path partial;
  for (const auto& part : folder) {
    partial /= part;
    struct stat info {};
    if (part.empty() || ::stat(partial.c_str(), &info) == 0) continue;
    if (::mkdir(partial.c_str(), S_IRWXU) != 0) {
      if (errno == EEXIST) continue;  // made meanwhile by someone else: judged as it is
      return false;
    }
    // Through the folder just made, never a link put in its place.
    FileDescriptor made(::open(partial.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (made.get() < 0 || ::fchmod(made.get(), S_IRWXU) != 0) return false;
  }
  return true;
}

}  // namespace

bool IsPrivateFolder(const std::filesystem::path& folder) {
  struct stat info {};
  return ::stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) &&
         info.st_uid == ::geteuid() && (info.st_mode & (S_IWGRP | S_IWOTH)) == 0;
}

bool MakePrivateFolder(const std::filesystem::path& folder, std::string& problem) {
  if (!MakeMissingFolders(folder)) {
    problem = "cannot make " + folder.string() + ": " + std::strerror(errno);
    return false;
  }
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) {
    problem = folder.string() + " is not a folder";
    return false;
  }
  if (info.st_uid != ::geteuid()) {
    problem = folder.string() + " belongs to another user";
    return false;
  }
  if (!IsPrivateFolder(folder)) {
    problem = folder.string() + " can be written by other users";
    return false;
  }
  return true;
}

std::filesystem::path FindSettingsFolder(std::string& problem) {
  problem.clear();
  if (const char* override = std::getenv("QUILLON_SETTINGS_DIR");
      override != nullptr && *override != '\0') {
    const std::filesystem::path folder(override);
    return MakePrivateFolder(folder, problem) ? folder : std::filesystem::path();
  }
  // Every reason is kept, so the one line the user sees explains each place tried.
  const auto usable = [&problem](const std::filesystem::path& folder) {
    std::string why;
    if (MakePrivateFolder(folder, why)) return true;
    problem += (problem.empty() ? "" : "; ") + why;
    return false;
  };
  std::filesystem::path config = FolderFromEnvironment("XDG_CONFIG_HOME");
  if (config.empty()) {
    if (const auto home = HomeFolder(); !home.empty()) config = home / ".config";
  }
  if (!config.empty() && usable(config / "quillon")) return config / "quillon";
  if (const auto runtime = FolderFromEnvironment("XDG_RUNTIME_DIR");
      !runtime.empty() && usable(runtime / "quillon")) {
    return runtime / "quillon";
  }
  std::error_code error;
  const auto temporary = std::filesystem::temp_directory_path(error);
  if (error) return {};
  // Anyone may make this name first: besides being private, it must be a real directory, not
  // a link its owner could later turn elsewhere.
  const auto shared = temporary / ("quillon-" + std::to_string(::geteuid()));
  if (!usable(shared)) return {};
  if (std::filesystem::is_symlink(shared, error)) {
    problem += (problem.empty() ? "" : "; ") + shared.string() + " is a link";
    return {};
  }
  return shared;
}

std::filesystem::path SettingsFolder() {
  static std::atomic<bool> told{false};
  std::string problem;
  auto folder = FindSettingsFolder(problem);
  if (folder.empty() && !told.exchange(true)) {
    std::fprintf(stderr, "quillon: no private settings folder (%s): settings are not saved\n",
                 problem.c_str());
  }
  return folder;
}

}  // namespace quillon
