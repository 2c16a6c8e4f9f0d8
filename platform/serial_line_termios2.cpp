// termios2 lives in its own file: <asm/termbits.h> defines its own `struct termios` and clashes
// with glibc's <termios.h>, and only termios2 (BOTHER) can set a rate such as 14400.
#include <asm/termbits.h>
#include <sys/ioctl.h>

#include "platform/serial_line.h"
#include "platform/system_error.h"

namespace quillon {

std::error_code ApplySerialLineSettings(int fd, std::uint32_t baud) {
  struct termios2 line {};
  if (ioctl(fd, TCGETS2, &line) != 0) return LastSystemError();

  line.c_cflag &= ~static_cast<tcflag_t>(CBAUD | (CBAUD << IBSHIFT) | CSIZE | PARENB | CSTOPB |
                                         CRTSCTS);
  line.c_cflag |= BOTHER | (BOTHER << IBSHIFT) | CS8 | CREAD | CLOCAL;
  line.c_ispeed = baud;
  line.c_ospeed = baud;

  line.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | IGNBRK | BRKINT | PARMRK |
                                         ISTRIP | INLCR | IGNCR | ICRNL | INPCK);
  line.c_oflag &= ~static_cast<tcflag_t>(OPOST);
  line.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ECHOE | ECHONL | ISIG | IEXTEN);
  line.c_cc[VMIN] = 0;
  line.c_cc[VTIME] = 0;
  if (ioctl(fd, TCSETS2, &line) != 0) return LastSystemError();

  // Many drivers take what they cannot do without a word and keep their own: read back what the
  // relay depends on. The rate is left out, as a driver may round it or (a pty) ignore it.
  SerialLineSettings took;
  if (!ReadSerialLineSettings(fd, took)) return LastSystemError();
  if (took.dataBits != 8 || took.parity || took.twoStopBits || took.hardwareFlowControl ||
      took.softwareFlowControl || !took.raw) {
    return std::make_error_code(std::errc::invalid_argument);
  }
  return {};
}

bool ReadSerialLineSettings(int fd, SerialLineSettings& settings) {
  struct termios2 line {};
  if (ioctl(fd, TCGETS2, &line) != 0) return false;
  settings.inputBaud = line.c_ispeed;
  settings.outputBaud = line.c_ospeed;
  switch (line.c_cflag & CSIZE) {
    case CS5: settings.dataBits = 5; break;
    case CS6: settings.dataBits = 6; break;
    case CS7: settings.dataBits = 7; break;
    default: settings.dataBits = 8; break;
  }
  settings.parity = (line.c_cflag & PARENB) != 0;
  settings.twoStopBits = (line.c_cflag & CSTOPB) != 0;
  settings.hardwareFlowControl = (line.c_cflag & CRTSCTS) != 0;
  settings.softwareFlowControl = (line.c_iflag & (IXON | IXOFF)) != 0;
  settings.raw = (line.c_lflag & (ICANON | ECHO | ISIG)) == 0 && (line.c_oflag & OPOST) == 0 &&
                 (line.c_iflag & (ICRNL | INLCR | IGNCR | ISTRIP)) == 0;
  return true;
}

}  // namespace quillon
