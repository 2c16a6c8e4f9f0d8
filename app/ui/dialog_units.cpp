#include "app/ui/dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace quillon::ui {
namespace {

// a * b / c rounded half away from zero, without overflow for the sizes of a screen.
int MulDiv(int a, int b, int c) {
  const long long product = static_cast<long long>(a) * b;
  const long long half = c / 2;
  return static_cast<int>(product >= 0 ? (product + half) / c : (product - half) / c);
}

}  // namespace

DialogBaseUnits BaseUnitsOf(const QFont& font) {
  const QFontMetrics metrics(font);
  const int letters = metrics.horizontalAdvance(
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz"));
  return {(letters / 26 + 1) / 2, metrics.height()};
}

QRect DialogUnitsToPixels(const QRect& units, DialogBaseUnits base) {
  return QRect(MulDiv(units.x(), base.charWidth, 4), MulDiv(units.y(), base.charHeight, 8),
               MulDiv(units.width(), base.charWidth, 4),
               MulDiv(units.height(), base.charHeight, 8));
}

}  // namespace quillon::ui
