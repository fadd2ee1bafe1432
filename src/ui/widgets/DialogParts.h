#pragma once
#include <QPointer>
#include <QString>
#include <QStringList>
#include <functional>
#include <utility>

#include "core/base/ControlState.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QWidget;

namespace merilog::ui {

// What the dialogs share in rendering their models.

// Shows and enables a control as its presentation model says.
void ApplyControlState(QWidget* widget, const ControlState& state);
// Sets a field's text only when it differs, so the caret stays where the user left it.
void SetText(QLineEdit* edit, const QString& text);
// Replaces the items only when they differ, so the selection and scrolling stay.
void SetItems(QComboBox* combo, const QStringList& items);
void SetItems(QListWidget* list, const QStringList& items);
// The same, then selects the item at `selected` (none for -1).
void SetItems(QComboBox* combo, const QStringList& items, int selected);
void SetItems(QListWidget* list, const QStringList& items, int selected);
// A read-only figure in a sunken box as wide as `widest`.
QLabel* ReadoutLabel(QWidget* parent, const QString& widest);

// Wraps a handler: unless the dialog is rendering (its own changes to the
// widgets are no clicks), the model handles the event, then the dialog renders.
template <class Dialog>
auto Forward(Dialog* dialog, const bool& rendering) {
  return [dialog, &rendering](auto handler) {
    return [dialog, &rendering, handler](auto&&... args) {
      if (rendering) return;
      handler(std::forward<decltype(args)>(args)...);
      dialog->Render();
    };
  };
}

// The model's change hook renders the dialog; guarded, so that neither has to outlive the other.
template <class Dialog>
void RenderOnChange(std::function<void()>& hook, Dialog* dialog) {
  hook = [self = QPointer<Dialog>(dialog)] {
    if (self) self->Render();
  };
}

}  // namespace merilog::ui
