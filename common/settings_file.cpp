#include "common/settings_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "common/atomic_file.h"
#include "common/file_descriptor.h"

namespace quillon {

std::filesystem::path SettingsFilePath(const std::filesystem::path& folder, std::string_view name) {
  if (folder.empty()) return {};
  return folder / name;
}

std::optional<SettingsImage> ReadSettingsImage(const std::filesystem::path& file) {
  if (file.empty()) return std::nullopt;
  // O_NONBLOCK keeps a FIFO of that name from holding the caller; it is refused below anyway.
  FileDescriptor fd(::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
  struct stat info {};
  if (::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode) || info.st_uid != ::geteuid()) {
    return std::nullopt;
  }

  SettingsImage image{};
  std::size_t filled = 0;
  while (filled < image.size()) {
    const ssize_t got = ::read(fd.get(), image.data() + filled, image.size() - filled);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    filled += static_cast<std::size_t>(got);
  }
  return image;
}

bool WriteSettingsImage(const std::filesystem::path& file, const SettingsImage& image) {
  return ReplaceFile(file, image);
}

}  // namespace quillon
