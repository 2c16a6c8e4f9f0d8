#include "common/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "common/atomic_file.h"
#include "common/file_descriptor.h"
#include "common/printable_text.h"
#include "common/settings_extension.h"

namespace quillon {
namespace {

void Tell(std::string* problem, const std::filesystem::path& file, const std::string& what) {
  if (problem == nullptr) return;
  // The path comes from the environment or the command line: nothing in it drives a terminal.
  *problem = "settings file " + PrintableText(file.string()) + " " + what;
}

}  // namespace

std::filesystem::path SettingsFilePath(const std::filesystem::path& folder, std::string_view name) {
  if (folder.empty()) return {};
  return folder / name;
}

std::optional<SettingsBytes> ReadSettingsBytes(const std::filesystem::path& file,
                                               std::string* problem) {
  if (file.empty()) return std::nullopt;
  // O_NONBLOCK keeps a FIFO of that name from holding the caller; it is refused below anyway.
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOFOLLOW));
  if (fd.get() < 0) {
    const int error = errno;
    struct stat link {};
    if (error == ELOOP && ::lstat(file.c_str(), &link) == 0 && S_ISLNK(link.st_mode)) {
      Tell(problem, file,
           "is a symbolic link, which is not followed: the defaults are used, and saving "
           "replaces the link with a file");
    } else if (error != ENOENT) {
      Tell(problem, file, std::string("cannot be read (") + std::strerror(error) + ")");
    }
    return std::nullopt;
  }
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    Tell(problem, file, "is not a regular file: the defaults are used");
    return std::nullopt;
  }
  if (info.st_uid != ::geteuid()) {
    Tell(problem, file, "belongs to another user and is not read: the defaults are used");
    return std::nullopt;
  }

  SettingsBytes bytes(kMaxSettingsFileSize);
  std::size_t filled = 0;
  while (filled < bytes.size()) {
    const ssize_t got = ::read(fd.get(), bytes.data() + filled, bytes.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) {
      Tell(problem, file, std::string("cannot be read (") + std::strerror(errno) + ")");
      return std::nullopt;
    }
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  bytes.resize(filled);
  return bytes;
}

bool WriteSettingsBytes(const std::filesystem::path& file, std::span<const std::uint8_t> bytes,
                        std::string* problem) {
  if (file.empty()) return false;
  const std::error_code error = ReplaceFile(file, bytes);
  if (error) Tell(problem, file, "cannot be saved (" + error.message() + ")");
  return !error;
}

}  // namespace quillon
