#include "app/ui/bitmap_button.h"

#include <QKeyEvent>
#include <QPainter>

namespace quillon::ui {

CBitmapButton::CBitmapButton(QWidget* parent) : QAbstractButton(parent) {
  setFocusPolicy(Qt::StrongFocus);
}

bool CBitmapButton::LoadBitmaps(const QString& normal, const QString& pressed,
                                const QString& focused) {
  normal_ = QPixmap(normal);
  pressed_ = pressed.isEmpty() ? QPixmap() : QPixmap(pressed);
  focused_ = focused.isEmpty() ? QPixmap() : QPixmap(focused);
  if (normal_.isNull()) return false;
  resize(normal_.deviceIndependentSize().toSize());
  update();
  return true;
}

QSize CBitmapButton::sizeHint() const {
  return normal_.isNull() ? QSize(64, 64) : normal_.deviceIndependentSize().toSize();
}

void CBitmapButton::keyPressEvent(QKeyEvent* event) {
  // As the handheld's buttons take it: Enter presses the focused one, as Space does.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
    click();
    return;
  }
  QAbstractButton::keyPressEvent(event);
}

const QPixmap& CBitmapButton::CurrentPicture() const {
  if (isDown() && !pressed_.isNull()) return pressed_;
  if (hasFocus() && !focused_.isNull()) return focused_;
  return normal_;
}

void CBitmapButton::paintEvent(QPaintEvent* /*event*/) {
  QPainter painter(this);
  painter.drawPixmap(rect(), CurrentPicture());
}

}  // namespace quillon::ui
