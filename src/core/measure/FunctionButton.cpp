#include "core/measure/FunctionButton.h"

#include <array>

namespace merilog {

std::span<const FunctionButton> FunctionButtonTable() {
  // Functions whose range is not set by AUTO on configuring (temperature, thermocouple,
  // capacitance) leave the flag at 0.
  static const std::array<FunctionButton, kFunctionButtonCount> kButtons{{
      {"DCV", "CONF:VOLT:DC", 0, 1, 1, 0},
      {"DCI", "CONF:CURR:DC", 1, 1, 0, 0},
      {"ACV", "CONF:VOLT:AC", 2, 1, 1, 1},
      {"ACI", "CONF:CURR:AC", 3, 1, 0, 1},
      {"2W", "CONF:RES", 4, 1, 1, 2},
      {"4W", "CONF:FRES", 5, 1, 0, 2},
      {"FREQ", "CONF:FREQ", 6, 1, 1, 3},
      {"PERIOD", "CONF:PER", 7, 1, 0, 3},
      {"CONT", "CONF:CONT", 8, 1, 1, 4},
      {"DIODE", "CONF:DIOD", 9, 1, 0, 4},
      {"TEMP", "CONF:TEMP", 10, 0, 1, 5},
      {"TCOUPL", "CONF:TCO", 12, 0, 0, 5},
      {"CAP", "CONF:CAP", 13, 0, 2, 0},
  }};
  return kButtons;
}

const FunctionButton* FindFunctionButton(const std::string& label) {
  for (const auto& b : FunctionButtonTable())
    if (b.label == label) return &b;
  return nullptr;
}

}  // namespace merilog
