#include "ui/recordview/WaitCursor.h"

#include <QApplication>

namespace merilog::ui {

WaitCursor::~WaitCursor() {
  Show(false);
}

void WaitCursor::Show(bool shown) {
  if (shown == shown_) return;
  if (shown)
    QApplication::setOverrideCursor(Qt::WaitCursor);
  else
    QApplication::restoreOverrideCursor();
  shown_ = shown;
}

}  // namespace merilog::ui
