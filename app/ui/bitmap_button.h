// A picture button: draws one of its pictures (normal, pressed, focused) in place of a
// button face, as the chooser's ROVER and BASE buttons do.
#pragma once

#include <QAbstractButton>
#include <QPixmap>

namespace quillon::ui {

class CBitmapButton : public QAbstractButton {
  Q_OBJECT

 public:
  explicit CBitmapButton(QWidget* parent = nullptr);

  // Loads the pictures from resource paths; an empty path leaves that state without a picture
  // of its own (the normal one is drawn). False when the normal picture cannot be loaded.
  // The button takes the normal picture's size, so no picture is cut.
  bool LoadBitmaps(const QString& normal, const QString& pressed, const QString& focused);

  QSize sizeHint() const override;

  // The picture the button shows in its current state.
  const QPixmap& CurrentPicture() const;

 protected:
  void keyPressEvent(QKeyEvent* event) override;
  void paintEvent(QPaintEvent* event) override;

 private:
  QPixmap normal_;
  QPixmap pressed_;
  QPixmap focused_;
};

}  // namespace quillon::ui
