// The line settings of a serial device: 8 data bits, no parity, one stop bit, no flow control,
// raw bytes, any baud rate.
#pragma once

#include <cstdint>
#include <system_error>

namespace quillon {

// Sets the line of the open tty `fd` to `baud` (any rate, also ones termios has no constant
// for, such as 14400), 8N1, no CTS/RTS or XON/XOFF flow control, and raw bytes in both
// directions (no echo, no line editing, no CR/LF translation), so the receiver gets exactly
// the caster's bytes. Reads return at once (the caller waits). Returns the system's error when
// the driver refuses the settings, and EINVAL when it takes them but keeps another framing or
// a cooked line; a rate the driver silently keeps its own is no error (ptys ignore rates).
std::error_code ApplySerialLineSettings(int fd, std::uint32_t baud);

struct SerialLineSettings {
  std::uint32_t inputBaud = 0;
  std::uint32_t outputBaud = 0;
  int dataBits = 0;
  bool parity = false;
  bool twoStopBits = false;
  bool hardwareFlowControl = false;
  bool softwareFlowControl = false;  // XON/XOFF in either direction
  bool raw = false;                  // no echo, no canonical mode, no output processing
};

// The line settings the driver reports for `fd`; false when it cannot tell.
bool ReadSerialLineSettings(int fd, SerialLineSettings& settings);

}  // namespace quillon
