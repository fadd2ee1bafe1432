#include "core/measure/FrontPanelState.h"

#include "core/base/Text.h"

namespace merilog {

void ApplyControlChange(ControlChange change, ControlState& control) {
  switch (change) {
    case ControlChange::Keep:
      break;
    case ControlChange::Show:
      control.shown = true;
      break;
    case ControlChange::Hide:
      control.shown = false;
      break;
    case ControlChange::Enable:
      control.enabled = true;
      break;
    case ControlChange::Disable:
      control.enabled = false;
      break;
  }
}

std::span<const FunctionControlAdaptation> FunctionControlAdaptations() {
  using C = ControlChange;
  using M = FunctionControlAdaptation::Mode;
  // Columns: CAP, TCOUPL, "Measurement Function :" label, 2ND markers, 2ND-function chooser.
  static const std::array<FunctionControlAdaptation, 4> kRows{{
      {"6082", M::Either, C::Enable, C::Enable, C::Show, C::Show, C::Show},
      {"6081", M::Either, C::Disable, C::Disable, C::Hide, C::Hide, C::Hide},
      {"", M::Single, C::Disable, C::Hide, C::Hide, C::Hide, C::Hide},
      {"", M::Multi, C::Disable, C::Disable, C::Enable, C::Show, C::Disable},
  }};
  return kRows;
}

const FunctionControlAdaptation& FindFunctionControlAdaptation(std::string_view shortName, bool singleDeviceMode) {
  const auto rows = FunctionControlAdaptations();
  for (const auto& row : rows) {
    if (!row.tag.empty()) {
      if (Contains(shortName, row.tag)) return row;
      continue;
    }
    using M = FunctionControlAdaptation::Mode;
    if (row.mode == M::Either || (row.mode == M::Single) == singleDeviceMode) return row;
  }
  return rows.back();
}

}  // namespace merilog
