#include "app/ui/combo.h"

#include <QEvent>
#include <QLineEdit>

namespace quillon::ui {

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

namespace {

// Shows a text's start while the box has no keyboard: the part of a long device path that tells
// which device it is (/dev/serial/by-id/usb-...). The whole text is the box's tooltip.
class TextStartShown final : public QObject {
 public:
  explicit TextStartShown(QComboBox* combo) : QObject(combo), combo_(combo) {
    combo->lineEdit()->installEventFilter(this);
    connect(combo, &QComboBox::editTextChanged, this, [this](const QString& text) {
      combo_->setToolTip(text);
      if (!combo_->lineEdit()->hasFocus()) combo_->lineEdit()->setCursorPosition(0);
    });
  }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::FocusOut) combo_->lineEdit()->setCursorPosition(0);
    return QObject::eventFilter(watched, event);
  }

 private:
  QComboBox* combo_;
};

}  // namespace

QComboBox* AddEditableCombo(Dialog& dialog, int id, const QRect& units, int maxLength) {
  auto* combo = dialog.AddControl<QComboBox>(id, units);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->lineEdit()->setMaxLength(maxLength);
  new TextStartShown(combo);
  // The template gives a drop-down list's height with the list open; closed, a combo box is as
  // high as its font makes it.
  combo->resize(combo->width(), combo->sizeHint().height());
  return combo;
}

int SelectionIndex(const QComboBox& combo) {
  const int index = combo.currentIndex();
  return index >= 0 && combo.currentText() == combo.itemText(index) ? index : -1;
}

}  // namespace quillon::ui
