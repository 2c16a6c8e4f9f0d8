#include "app/ui/wait.h"

#include <QApplication>
#include <QCoreApplication>
#include <QEventLoop>
#include <algorithm>
#include <chrono>
#include <future>

namespace quillon::ui {
namespace {

// Short enough that the desktop never sees an unresponsive window.
constexpr std::uint32_t kPaintSliceMs = 20;

int holdDepth = 0;  // user-interface thread only

}  // namespace

WaitCursor::WaitCursor() { QApplication::setOverrideCursor(Qt::WaitCursor); }

WaitCursor::~WaitCursor() { QApplication::restoreOverrideCursor(); }

HoldWatcher& HoldWatcher::Instance() {
  static HoldWatcher watcher;
  return watcher;
}

bool UiThreadHeld() { return holdDepth > 0; }

UiHold::UiHold() { ++holdDepth; }

UiHold::~UiHold() {
  if (--holdDepth == 0) emit HoldWatcher::Instance().Released();
}

void UiHold::Paint() {
  if (QCoreApplication::instance() != nullptr) {
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
  }
}

void WaitPainted(Clock& clock, std::uint32_t ms) {
  if (QCoreApplication::instance() == nullptr) {
    clock.Sleep(ms);
    return;
  }
  const UiHold hold;
  const std::uint32_t start = clock.TickCount();
  for (;;) {
    UiHold::Paint();
    const std::uint32_t elapsed = clock.TickCount() - start;  // wraps like the tick count
    if (elapsed >= ms) break;
    clock.Sleep(std::min(ms - elapsed, kPaintSliceMs));
  }
}

void RunPainted(const std::function<void()>& work) {
  if (QCoreApplication::instance() == nullptr) {
    work();
    return;
  }
  auto done = std::async(std::launch::async, work);
  {
    const UiHold hold;
    while (done.wait_for(std::chrono::milliseconds(kPaintSliceMs)) != std::future_status::ready) {
      UiHold::Paint();
    }
  }
  done.get();
}

}  // namespace quillon::ui
