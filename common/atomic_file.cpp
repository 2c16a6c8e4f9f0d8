#include "common/atomic_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "common/file_descriptor.h"

namespace quillon {
namespace {

std::error_code SystemError(int error) { return {error, std::generic_category()}; }

// errno of the failed write; a write that takes nothing and says nothing is a full disk.
int WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) return errno;
    if (written == 0) return ENOSPC;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return 0;
}

// errno of the first step that fails on the way to a complete, flushed file.
int FillTemporary(FileDescriptor& fd, std::span<const std::uint8_t> bytes) {
  if (const int error = WriteAll(fd.get(), bytes.data(), bytes.size())) return error;
  // fsync before the rename: otherwise a crash can leave the new name on empty contents.
  if (::fchmod(fd.get(), S_IRUSR | S_IWUSR) != 0 || ::fsync(fd.get()) != 0 || !fd.Close()) {
    return errno;
  }
  return 0;
}

}  // namespace

std::error_code ReplaceFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
  if (file.empty()) return SystemError(EINVAL);
  std::string temporary = file.string() + ".XXXXXX";
  // mkstemp creates the file with mode 0600 and a name no other writer uses.
  FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return SystemError(errno);
  int error = FillTemporary(fd, bytes);
  if (error == 0 && std::rename(temporary.c_str(), file.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temporary.c_str());
  return error == 0 ? std::error_code() : SystemError(error);
}

}  // namespace quillon
