// Dialog units: positions in the dialog templates are given in units of the dialog font, so a
// layout keeps its proportions whatever font and screen it is shown with.
#pragma once

#include <QFont>
#include <QRect>

namespace quillon::ui {

// The dialog font's base units in pixels: the average character width and the character height.
struct DialogBaseUnits {
  int charWidth = 0;
  int charHeight = 0;
};

// Base units of `font`, computed as Windows does: the average width of the 52 Latin letters,
// rounded, and the font's height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// `units` (x, y, width, height in dialog units) in pixels: x * charWidth / 4, y * charHeight / 8,
// each rounded to the nearest pixel as Windows' MulDiv does.
QRect DialogUnitsToPixels(const QRect& units, DialogBaseUnits base);

}  // namespace quillon::ui
