// A QApplication for the whole test binary: linking quillon_ui_testing creates it before the
// first test and destroys it after the last one. And screenshots for reviewers: `ctest -L
// screenshots` renders windows to PNG files in the build folder's screenshots/ directory.
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QString>
#include <QWidget>
#include <functional>

#include "app/ui/dialog.h"

namespace quillon::ui::testing {

// Runs `action` on the user-interface thread as soon as the event loop (a modal dialog's, for
// instance) next handles events.
void WhenIdle(std::function<void()> action);

// The dialog that DoModal is running at the moment, if any (the topmost visible one of type T).
template <class T>
T* VisibleDialog() {
  for (QWidget* widget : QApplication::allWidgets()) {
    if (auto* dialog = dynamic_cast<T*>(widget); dialog != nullptr && dialog->isVisible()) {
      return dialog;
    }
  }
  return nullptr;
}

// Clicks the button `id` of `d` as the user would.
inline void Click(Dialog& d, int id) { d.Control<QAbstractButton>(id)->click(); }

// Renders `widget` to <build>/screenshots/<name>.png and returns the file's path (empty when it
// could not be written).
QString SaveScreenshot(QWidget& widget, const QString& name);

}  // namespace quillon::ui::testing
