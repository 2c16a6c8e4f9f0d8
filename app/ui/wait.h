// Long operations on the user-interface thread: the wait cursor, and fixed waits that keep the
// windows painted while the user's input stays out.
#pragma once

#include <QObject>
#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace quillon::ui {

// Shows the wait cursor for its lifetime and restores the previous cursor.
class WaitCursor {
 public:
  WaitCursor();
  ~WaitCursor();
  WaitCursor(const WaitCursor&) = delete;
  WaitCursor& operator=(const WaitCursor&) = delete;
};

// Holds the user-interface thread for `ms` milliseconds of `clock`. Meanwhile windows are
// painted and posted work (such as a worker's message box) runs, but user input waits until
// the hold is over, and dialog timer ticks are held back: each timer delivers at most one tick
// after the hold, as a blocked thread's timers do. Without a Qt application it simply sleeps.
void WaitPainted(Clock& clock, std::uint32_t ms);

// Runs `work` (a blocking call the user must wait for, such as a Bluetooth discovery) on a
// helper thread and holds the user-interface thread until it returns, as WaitPainted does:
// windows stay painted, user input and timer ticks wait. Without a Qt application `work` simply
// runs. An exception from `work` comes out here.
void RunPainted(const std::function<void()>& work);

// Holds the user-interface thread for its lifetime, as WaitPainted does (UiThreadHeld is true,
// timer ticks wait); Paint handles what is pending except user input. For waits of the core that
// the user-interface thread runs in steps of its own, such as ending a session worker.
class UiHold {
 public:
  UiHold();
  ~UiHold();
  UiHold(const UiHold&) = delete;
  UiHold& operator=(const UiHold&) = delete;

  static void Paint();
};

// A clock whose sleeps are WaitPainted on `clock`: the core's fixed waits (the stop sequence's)
// run on the user-interface thread without leaving the windows unpainted.
class PaintedClock final : public Clock {
 public:
  explicit PaintedClock(Clock& clock) : clock_(clock) {}
  std::uint32_t TickCount() override { return clock_.TickCount(); }
  std::time_t Now() override { return clock_.Now(); }
  void Sleep(std::uint32_t ms) override { WaitPainted(clock_, ms); }
  int WaitReadable(int fd, std::uint32_t ms) override { return clock_.WaitReadable(fd, ms); }
  int WaitWritable(int fd, std::uint32_t ms) override { return clock_.WaitWritable(fd, ms); }
  int WaitAny(std::span<pollfd> entries, std::uint32_t ms) override {
    return clock_.WaitAny(entries, ms);
  }

 private:
  Clock& clock_;
};

// True while a WaitPainted, RunPainted or UiHold runs on this thread.
bool UiThreadHeld();

// Tells when the outermost hold has ended.
class HoldWatcher : public QObject {
  Q_OBJECT
 public:
  static HoldWatcher& Instance();

 signals:
  void Released();
};

}  // namespace quillon::ui
