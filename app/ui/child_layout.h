// Two layout helpers that dialogs use after creation to shift or enlarge a control. Both
// measure the control against its parent's whole window rectangle (non-client borders
// included) and subtract a fixed 2 pixels horizontally, so in effect a control moves or grows by
// (dx - 2 + L, dy + T), L and T being the parent's left and top border widths.
#pragma once

#include <QPoint>
#include <QRect>

class QWidget;

namespace quillon::ui {

// Where MoveChildBy puts a control, in its parent's client coordinates: `child` and
// `parentWindow` are the control's and the parent's window rectangles in screen coordinates.
QPoint MovedChildPosition(const QRect& child, const QRect& parentWindow, int dx, int dy);

// The rectangle GrowChildBy gives a control whose rectangle in its parent's client
// coordinates is `childInClient`: same top-left corner, grown by the move's offset.
QRect GrownChildRect(const QRect& child, const QRect& parentWindow, const QRect& childInClient,
                     int dx, int dy);

// Moves `window` (a child control) as described above; its size is kept.
void MoveChildBy(QWidget* window, int dx, int dy);

// Grows `window` as described above; its top-left corner is kept. Returns true.
bool GrowChildBy(QWidget* window, int dx, int dy);

}  // namespace quillon::ui
