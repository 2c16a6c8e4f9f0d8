#include "app/cli/stop_signals.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

namespace quillon::cli {

StopRequested StopAsked(Clock& clock, int stopFd) {
  if (stopFd < 0) return {};
  return [&clock, stopFd] { return clock.WaitReadable(stopFd, 0) > 0; };
}

StopSignals::StopSignals() {
  sigset_t stop;
  sigemptyset(&stop);
  sigaddset(&stop, SIGINT);
  sigaddset(&stop, SIGTERM);
  pthread_sigmask(SIG_BLOCK, &stop, &previous_);
  fd_ = signalfd(-1, &stop, SFD_CLOEXEC | SFD_NONBLOCK);
  signal(SIGPIPE, SIG_IGN);
}

StopSignals::~StopSignals() {
  if (fd_ >= 0) {
    // Signals that came while stopping are answered by this stop: restoring the mask must not
    // deliver them and kill the process after all.
    signalfd_siginfo info;
    while (read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
    }
    close(fd_);
  }
  pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

}  // namespace quillon::cli
