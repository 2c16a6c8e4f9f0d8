#include "app/ui/handheld.h"

#include <QApplication>
#include <QPointer>
#include <QScreen>
#include <algorithm>
#include <cmath>

#include "app/ui/dialog_units.h"

namespace quillon::ui {
namespace {

QPointer<QWidget>& MainWindowSlot() {
  static QPointer<QWidget> window;
  return window;
}

}  // namespace

QFont DialogFont() {
  QFont font = QApplication::font();
  font.setPointSize(8);
  // The handheld's dialog font is 6 pixels wide on average, which makes its screen 160 dialog
  // units wide; the dialogs are laid out for that. Wide desktop fonts are narrowed to match.
  if (BaseUnitsOf(font).charWidth > kHandheldCharWidth) font.setStretch(QFont::SemiCondensed);
  return font;
}

QIcon ProgramIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/res/quillon_32.png"));
  icon.addFile(QStringLiteral(":/res/quillon.png"));
  return icon;
}

bool IsSmallScreen(const QWidget& widget, std::optional<int> height) {
  const QScreen* screen = widget.screen();
  const int pixels = height ? *height : (screen != nullptr ? screen->geometry().height() : 0);
  return pixels < kSmallScreenHeight;
}

double FittedScale(double scale, QSize available) {
  const double wide = static_cast<double>(available.width()) / kHandheldScreen.width();
  const double high =
      static_cast<double>(available.height()) / (kHandheldScreen.height() + kWindowTitleAllowance);
  const double shrink = std::min(wide, high);
  if (shrink >= 1.0) return scale;
  constexpr double kStep = 0.05;
  return std::max(1.0, std::floor(scale * shrink / kStep) * kStep);
}

void SetMainWindow(QWidget* window) { MainWindowSlot() = window; }

QWidget* MainWindow() { return MainWindowSlot().data(); }

}  // namespace quillon::ui
