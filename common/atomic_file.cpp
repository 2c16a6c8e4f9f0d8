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

bool WriteAll(int fd, const std::uint8_t* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

}  // namespace

bool ReplaceFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes) {
  if (file.empty()) return false;
  std::string temporary = file.string() + ".XXXXXX";
  // mkstemp creates the file with mode 0600 and a name no other writer uses.
  FileDescriptor fd(::mkostemp(temporary.data(), O_CLOEXEC));
  if (fd.get() < 0) return false;
  // fsync before the rename: otherwise a crash can leave the new name on empty contents.
  const bool written = WriteAll(fd.get(), bytes.data(), bytes.size()) &&
                       ::fchmod(fd.get(), S_IRUSR | S_IWUSR) == 0 && ::fsync(fd.get()) == 0 &&
                       fd.Close();
  if (!written || std::rename(temporary.c_str(), file.c_str()) != 0) {
    ::unlink(temporary.c_str());
    return false;
  }
  return true;
}

}  // namespace quillon
