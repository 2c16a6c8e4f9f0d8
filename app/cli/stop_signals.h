// SIGINT and SIGTERM as a descriptor that becomes readable, so a command-line session can wait
// for "the user wants to stop" and for its next status line in one readable-wait.
#pragma once

#include <signal.h>

namespace quillon::cli {

class StopSignals {
 public:
  // Blocks SIGINT and SIGTERM for the calling thread and every thread it starts afterwards;
  // create it before any worker thread. Fd() is -1 when no signal descriptor can be had.
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
