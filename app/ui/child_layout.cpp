#include "app/ui/child_layout.h"

#include <QWidget>

namespace quillon::ui {
namespace {

QRect ScreenRect(const QWidget& widget) {
  return QRect(widget.mapToGlobal(QPoint(0, 0)), widget.size());
}

// A top-level window's rectangle includes its frame; a child widget has no non-client area.
QRect ParentWindowRect(const QWidget& parent) {
  return parent.isWindow() ? parent.frameGeometry() : ScreenRect(parent);
}

}  // namespace

QPoint MovedChildPosition(const QRect& child, const QRect& parentWindow, int dx, int dy) {
  return QPoint(child.left() - parentWindow.left() + dx - 2, child.top() - parentWindow.top() + dy);
}

QRect GrownChildRect(const QRect& child, const QRect& parentWindow, const QRect& childInClient,
                     int dx, int dy) {
  const QPoint moved = MovedChildPosition(child, parentWindow, dx, dy);
  return QRect(childInClient.topLeft(),
               QSize(childInClient.width() + (moved.x() - childInClient.left()),
                     childInClient.height() + (moved.y() - childInClient.top())));
}

void MoveChildBy(QWidget* window, int dx, int dy) {
  const QWidget* parent = window->parentWidget();
  if (parent == nullptr) return;
  window->move(MovedChildPosition(ScreenRect(*window), ParentWindowRect(*parent), dx, dy));
  window->update();
}

bool GrowChildBy(QWidget* window, int dx, int dy) {
  const QWidget* parent = window->parentWidget();
  if (parent == nullptr) return true;
  window->setGeometry(
      GrownChildRect(ScreenRect(*window), ParentWindowRect(*parent), window->geometry(), dx, dy));
  window->update();
  return true;
}

}  // namespace quillon::ui
