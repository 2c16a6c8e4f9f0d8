// One QApplication for the whole test binary, and screenshots (`ctest -L screenshots`).
#pragma once

#include <QAbstractButton>
#include <QApplication>
#include <QString>
#include <QWidget>
#include <functional>

#include "app/ui/dialog.h"

namespace quillon::ui::testing {

// Runs `action` when the event loop (a modal dialog's, for instance) next handles events.
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

inline void Click(Dialog& d, int id) { d.Control<QAbstractButton>(id)->click(); }

// Renders `widget` to <build>/screenshots/<name>.png; its path, or empty when not written.
QString SaveScreenshot(QWidget& widget, const QString& name);

}  // namespace quillon::ui::testing
