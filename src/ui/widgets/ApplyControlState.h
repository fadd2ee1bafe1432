#pragma once
#include <QWidget>

#include "core/base/ControlState.h"

namespace merilog::ui {

// Shows and enables a control as its presentation model says.
inline void ApplyControlState(QWidget* widget, const ControlState& state) {
  widget->setVisible(state.shown);
  widget->setEnabled(state.enabled);
}

}  // namespace merilog::ui
