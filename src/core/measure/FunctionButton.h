#pragma once
#include <span>
#include <string>

namespace merilog {

// One of the main window's function buttons and what pressing it does.
struct FunctionButton {
  std::string label;    // button caption
  std::string command;  // configuration command, sent with a line feed appended
  int catalogueRow;     // FunctionCatalogue row the meter reports afterwards
  int autoRangeFlag;    // AutoRangeFlag of the device after the press
  int gridRow;          // 0 upper row, 1 lower row, 2 the row of its own
  int gridColumn;
};

constexpr int kFunctionButtonCount = 13;

// The 13 buttons; there is none for the ratio function, which only the settings dialog selects.
std::span<const FunctionButton> FunctionButtonTable();

// The button with this caption, or nullptr.
const FunctionButton* FindFunctionButton(const std::string& label);

}  // namespace merilog
