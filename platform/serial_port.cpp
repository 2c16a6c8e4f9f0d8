#include "platform/serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <string>

#include "platform/serial_line.h"
#include "platform/system_error.h"
#include "platform/wait_step.h"

namespace quillon {
namespace {

void DrainWake(int wakeFd) {
  std::uint64_t count = 0;
  while (read(wakeFd, &count, sizeof count) > 0) {
  }
}

}  // namespace

SerialPort::SerialPort(Clock& clock)
    : clock_(clock), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}

SerialPort::~SerialPort() {
  Close();
  if (wakeFd_ >= 0) close(wakeFd_);
}

std::string SerialDevicePath(std::string_view name) {
  std::string device(name.substr(0, std::min(name.find('\0'), name.size())));
  if (!device.empty() && device.back() == ':') device.pop_back();
  return device;
}

std::error_code SerialPort::Open(std::string_view path, std::uint32_t baud) {
  const std::string device = SerialDevicePath(path);

  std::lock_guard lock(ioMutex_);
  CloseLocked();
  DrainWake(wakeFd_);
  if (device.empty()) return std::make_error_code(std::errc::no_such_file_or_directory);

  const int fd = open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return LastSystemError();
  std::error_code error;
  if (!isatty(fd)) {
    error = std::make_error_code(std::errc::inappropriate_io_control_operation);
  } else if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    // Root opens past TIOCEXCL; the lock is what another instance holds then.
    error = errno == EWOULDBLOCK ? std::make_error_code(std::errc::device_or_resource_busy)
                                 : LastSystemError();
  } else if (ioctl(fd, TIOCEXCL) != 0) {
    error = LastSystemError();
  } else {
    error = ApplySerialLineSettings(fd, baud);
    if (error) ioctl(fd, TIOCNXCL);
  }
  if (error) {
    close(fd);
    return error;
  }
  // Devices without modem lines (ptys) refuse this; that is fine.
  int lines = TIOCM_DTR | TIOCM_RTS;
  ioctl(fd, TIOCMBIC, &lines);

  fd_ = fd;
  gone_ = false;
  ready_.Add(fd_);
  open_.store(true);
  return {};
}

std::int32_t SerialPort::Read(std::uint8_t* buffer, std::size_t capacity) {
  std::lock_guard lock(ioMutex_);
  if (fd_ < 0 || capacity == 0) return 0;
  if (gone_) return -1;
  if (clock_.WaitReadable(fd_, kSerialReadWaitMs) <= 0) return 0;
  const ssize_t count = read(fd_, buffer, capacity);
  if (count > 0) return static_cast<std::int32_t>(count);
  if (count < 0 && (errno == EAGAIN || errno == EINTR)) return 0;
  // Readable yet no byte (end of file) or a hard error: the device has hung up.
  gone_ = true;
  return -1;
}

bool SerialPort::Write(const std::uint8_t* bytes, std::size_t count, const WriteStalled& stalled) {
  std::lock_guard lock(ioMutex_);
  if (fd_ < 0 || gone_) return false;
  std::size_t done = 0;
  std::uint32_t lastProgress = clock_.TickCount();
  while (done < count) {
    const ssize_t written = write(fd_, bytes + done, count - done);
    if (written > 0) {
      done += static_cast<std::size_t>(written);
      lastProgress = clock_.TickCount();
      continue;
    }
    if (written < 0 && errno == EINTR) continue;
    if (written < 0 && errno != EAGAIN) {
      gone_ = true;
      return false;
    }
    // The driver's buffer is full: wait for room, for a hang-up, or for Close, but not for ever.
    const std::uint32_t stalledMs = clock_.TickCount() - lastProgress;
    if (stalled) stalled(stalledMs);
    if (stalledMs >= kSerialWriteStallLimitMs) return false;
    pollfd entries[2] = {{fd_, POLLOUT, 0}, {wakeFd_, POLLIN, 0}};
    if (clock_.WaitAny(entries, std::min(kWaitStepMs, kSerialWriteStallLimitMs - stalledMs)) < 0) {
      return false;
    }
    if (entries[1].revents != 0) return false;
    if ((entries[0].revents & (POLLHUP | POLLERR | POLLNVAL)) != 0) {
      gone_ = true;
      return false;
    }
  }
  return true;
}

void SerialPort::DiscardInput() {
  std::lock_guard lock(ioMutex_);
  if (fd_ >= 0) tcflush(fd_, TCIFLUSH);
}

void SerialPort::Close() {
  if (wakeFd_ >= 0) {
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(wakeFd_, &one, sizeof one);
  }
  std::lock_guard lock(ioMutex_);
  CloseLocked();
  DrainWake(wakeFd_);
}

void SerialPort::CloseLocked() {
  if (fd_ >= 0) {
    // The exclusive mode belongs to the device, not to this descriptor: left set, it would
    // keep the next program (or the next run) from opening the device.
    ioctl(fd_, TIOCNXCL);
    ready_.Remove(fd_);
    close(fd_);
  }
  fd_ = -1;
  gone_ = false;
  open_.store(false);
}

}  // namespace quillon
