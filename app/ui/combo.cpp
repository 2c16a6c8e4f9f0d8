#include "app/ui/combo.h"

#include <QLineEdit>

namespace quillon::ui {

QString ToQString(std::u16string_view text) {
  return QString::fromUtf16(text.data(), static_cast<qsizetype>(text.size()));
}

QComboBox* AddEditableCombo(Dialog& dialog, int id, const QRect& units, int maxLength) {
  auto* combo = dialog.AddControl<QComboBox>(id, units);
  combo->setEditable(true);
  combo->setInsertPolicy(QComboBox::NoInsert);
  combo->lineEdit()->setMaxLength(maxLength);
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
