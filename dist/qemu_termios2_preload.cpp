// Preloaded into a cross-built quillon that runs under Debian 12's qemu-user (7.2), which does
// not translate the termios2 ioctls and fails them with ENOSYS: the serial port, a pty in the
// demo, could not be set up. Each is passed on as its termios twin, which qemu translates; on
// ARM the kernel's termios is termios2 without the two speeds, so the same buffer serves. The
// speeds read back are 0: a pty ignores them, and the line check leaves the rate out.
// Never installed; scripts/check-packages uses it for the run check under qemu.
#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <dlfcn.h>

#include <cstdarg>

namespace {

using Ioctl = int (*)(int, unsigned long, ...);

// The termios request that does what `request` does, or `request` itself.
unsigned long WithoutSpeeds(unsigned long request) {
  switch (request) {
    case TCGETS2: return TCGETS;
    case TCSETS2: return TCSETS;
    case TCSETSW2: return TCSETSW;
    case TCSETSF2: return TCSETSF;
    default: return request;
  }
}

}  // namespace

extern "C" int ioctl(int fd, unsigned long request, ...) {
  static const auto next = reinterpret_cast<Ioctl>(dlsym(RTLD_NEXT, "ioctl"));
  va_list arguments;
  va_start(arguments, request);
  void* argument = va_arg(arguments, void*);
  va_end(arguments);
  const int result = next(fd, WithoutSpeeds(request), argument);
  if (request == TCGETS2 && result == 0) {
    auto* line = static_cast<termios2*>(argument);
    line->c_ispeed = 0;
    line->c_ospeed = 0;
  }
  return result;
}
