// Combo boxes as the handheld's dialogs use them: lists with an edit field whose selection
// reads -1 once the user types over it.
#pragma once

#include <QComboBox>
#include <QRect>
#include <QString>
#include <string_view>

#include "app/ui/dialog.h"

namespace quillon::ui {

// UTF-16 text of the core as a Qt string.
QString ToQString(std::u16string_view text);

// A combo box with an edit field at `units`; typing never adds an item, and the text is held
// to `maxLength` characters. Without the keyboard it shows its text's start, and the whole text
// as its tooltip. As high as its font makes it (a template gives the open height).
QComboBox* AddEditableCombo(Dialog& dialog, int id, const QRect& units, int maxLength);

// The selection index of a combo box with an edit field, as the handheld's list reported it:
// -1 once the text no longer shows the selected item (typed over).
int SelectionIndex(const QComboBox& combo);

}  // namespace quillon::ui
