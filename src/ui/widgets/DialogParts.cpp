#include "ui/widgets/DialogParts.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>

namespace merilog::ui {

void ApplyControlState(QWidget* widget, const ControlState& state) {
  widget->setVisible(state.shown);
  widget->setEnabled(state.enabled);
}

void SetText(QLineEdit* edit, const QString& text) {
  if (edit->text() != text) edit->setText(text);
}

void SetItems(QComboBox* combo, const QStringList& items) {
  QStringList current;
  for (int i = 0; i < combo->count(); ++i) current << combo->itemText(i);
  if (current == items) return;
  combo->clear();
  combo->addItems(items);
}

void SetItems(QListWidget* list, const QStringList& items) {
  QStringList current;
  for (int i = 0; i < list->count(); ++i) current << list->item(i)->text();
  if (current == items) return;
  list->clear();
  list->addItems(items);
}

void SetItems(QComboBox* combo, const QStringList& items, int selected) {
  SetItems(combo, items);
  combo->setCurrentIndex(selected);
}

void SetItems(QListWidget* list, const QStringList& items, int selected) {
  SetItems(list, items);
  list->setCurrentRow(selected);
}

QLabel* ReadoutLabel(QWidget* parent, const QString& widest) {
  auto* label = new QLabel(parent);
  label->setFrameShape(QFrame::Panel);
  label->setFrameShadow(QFrame::Sunken);
  label->setMinimumWidth(label->fontMetrics().horizontalAdvance(widest) + 8);
  label->setTextInteractionFlags(Qt::TextSelectableByMouse);
  return label;
}

}  // namespace merilog::ui
