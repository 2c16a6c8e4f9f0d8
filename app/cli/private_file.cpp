#include "app/cli/private_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "common/file_descriptor.h"

namespace quillon::cli {

PrivateFileRead ReadPrivateFile(const std::string& path, mode_t refusedModes, std::size_t maxBytes,
                                std::string& text) {
  struct stat info {};
  // Looked at before opening: opening a device can have effects of its own.
  if (::stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return PrivateFileRead::kNoFile;
  const FileDescriptor fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY));
  if (fd.get() < 0 || ::fstat(fd.get(), &info) != 0 || !S_ISREG(info.st_mode)) {
    return PrivateFileRead::kUnreadable;
  }
  if ((info.st_mode & refusedModes) != 0 || (info.st_uid != ::geteuid() && info.st_uid != 0)) {
    return PrivateFileRead::kOpen;
  }
  char buffer[4096];
  for (ssize_t got; (got = ::read(fd.get(), buffer, sizeof buffer)) != 0;) {
    if (got < 0) return PrivateFileRead::kUnreadable;
    text.append(buffer, static_cast<std::size_t>(got));
    if (text.size() > maxBytes) return PrivateFileRead::kTooLarge;
  }
  return PrivateFileRead::kRead;
}

}  // namespace quillon::cli
