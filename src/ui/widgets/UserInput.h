#pragma once
#include <QComboBox>
#include <QLineEdit>

namespace merilog::ui {

// What a user's choice in a drop-down list, or typing into a field, does: the
// control changes and sends the signal only a user's action sends. For the
// screenshot script and the window tests.
inline void ChooseItem(QComboBox* combo, int index) {
  combo->setCurrentIndex(index);
  emit combo->activated(index);
}

inline void TypeText(QLineEdit* edit, const QString& text) {
  edit->setText(text);
  emit edit->textEdited(text);
}

}  // namespace merilog::ui
