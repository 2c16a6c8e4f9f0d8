// A serial device (cabled port, USB serial adapter, /dev/rfcomm* binding, or a pty in tests)
// opened for exclusive use as a raw 8N1 byte pipe.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <system_error>

#include "platform/clock.h"
#include "platform/readiness_set.h"

namespace quillon {

// How long one Read waits for the first byte. Short, because the Rover's loop waits this long
// for the receiver on every pass on top of its 100 ms pause, which sets the relay's latency.
inline constexpr std::uint32_t kSerialReadWaitMs = 10;
// The longest a write may take no byte: a receiver that has stopped taking data for this long
// counts as lost.
inline constexpr std::uint32_t kSerialWriteStallLimitMs = 10000;

// Told, each time a write waits for room, how long the device has taken no byte; told
// kSerialWriteStallLimitMs or more as the write gives up.
using WriteStalled = std::function<void(std::uint32_t stalledMs)>;

// The device path a port name stands for: the name up to a NUL, one trailing ':' dropped.
std::string SerialDevicePath(std::string_view name);

class SerialPort {
 public:
  explicit SerialPort(Clock& clock);
  ~SerialPort();
  SerialPort(const SerialPort&) = delete;
  SerialPort& operator=(const SerialPort&) = delete;

  // Opens the device `path` (one trailing ':' dropped, as device names may carry one) for
  // exclusive use (TIOCEXCL and an advisory lock, so a second opener fails even as root), sets
  // `baud`, 8N1, no flow control, raw bytes, and clears DTR and RTS. A port that is open is
  // closed first. Returns no error when the port is open; otherwise the system's reason and the
  // port stays closed: ENOENT for an empty path too, ENOTTY for a file that is no terminal,
  // EBUSY for a device another opener holds, the errors of ApplySerialLineSettings.
  std::error_code Open(std::string_view path, std::uint32_t baud);

  // Reads up to `capacity` bytes, waiting at most kSerialReadWaitMs (through the clock) for the
  // first. Returns the count, 0 when nothing arrived or the port is closed, and -1 once the
  // device has gone (hang-up, I/O error); a gone device keeps returning -1 without waiting.
  std::int32_t Read(std::uint8_t* buffer, std::size_t capacity);

  // Writes all `count` bytes, waiting (through the clock) while the driver's buffer is full.
  // true only when every byte was taken; false when the port is closed, has gone, is closed
  // meanwhile, or took no byte for kSerialWriteStallLimitMs. `stalled`, when given, is told of
  // each wait; it runs inside the write and must not close the port.
  bool Write(const std::uint8_t* bytes, std::size_t count, const WriteStalled& stalled = {});

  // Drops what the device has received and nobody has read yet.
  void DiscardInput();

  // Readable while the open port has bytes to read or has hung up; valid for the port's life,
  // whether it is open or not (see ReadinessSet).
  int ReadyHandle() const { return ready_.Handle(); }

  // Closes the port, leaving the device's exclusive mode cleared; harmless when it is closed. Safe
  // to call from another thread while Read or Write runs there: they return promptly, and the
  // descriptor is released only after they have let go of it, so it cannot be reused under them.
  void Close();

  bool IsOpen() const { return open_.load(); }

 private:
  void CloseLocked();

  Clock& clock_;
  std::mutex ioMutex_;       // held while a call uses fd_
  int fd_ = -1;              // guarded by ioMutex_
  bool gone_ = false;        // guarded by ioMutex_
  std::atomic<bool> open_{false};
  const int wakeFd_;         // eventfd: tells a Write waiting for room that Close wants in
  ReadinessSet ready_;       // holds fd_ while it is open
};

}  // namespace quillon
