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

// True while a WaitPainted or RunPainted runs on this thread.
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
