// SIGINT and SIGTERM as a descriptor that becomes readable, so a command-line session can wait
// for "the user wants to stop" and for its next status line in one readable-wait; and SIGPIPE
// ignored, so that a reader of the output that goes away ends the session through its stop
// sequence rather than killing it.
#pragma once

#include <signal.h>

#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon::cli {

// True once `stopFd` (StopSignals::Fd, or a test's pipe) is readable: the user asked to stop.
// Empty for -1, where nothing can ask.
StopRequested StopAsked(Clock& clock, int stopFd);

class StopSignals {
 public:
  // Blocks SIGINT and SIGTERM for the calling thread and every thread it starts afterwards;
  // create it before any worker thread. Fd() is -1 when no signal descriptor can be had.
  // Ignores SIGPIPE in the whole process, for good: a write into a closed pipe fails with EPIPE
  // instead, also while the process ends and its streams are flushed.
  StopSignals();
  ~StopSignals();  // restores the signal mask
  StopSignals(const StopSignals&) = delete;
  StopSignals& operator=(const StopSignals&) = delete;

  int Fd() const { return fd_; }

 private:
  sigset_t previous_{};
  int fd_ = -1;
};

}  // namespace quillon::cli
