#pragma once
#include <array>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "core/base/ControlState.h"

namespace merilog {

constexpr int kMeterPositions = 4;

// One meter position of the front panel: its row (name, lamp, value display,
// function tag, trace button) and the group of its 2ND reading.
struct MeterRowState {
  std::string nameText;  // the meter's (short) name, or the "Multimeter Device -- n" template
  std::string valueText = "0";
  std::string mainTagText;  // "MAIN" for position 0 until the first layout, then the function's label
  ControlState nameLabel, indicator, valueDisplay, mainMarker, selectionButton;
  bool hasSecond = false;  // this position's 2ND reading is shown and drawn
  std::string secondValueText = "0";
  std::string secondTagText;
  ControlState secondValueDisplay, secondIndicator, secondSelectionButton, secondMarkers;
};

// The status box "MAIN", the model-dependent controls and the meter rows.
// The reading run's locking comes on top of the enabled flags here.
struct StatusPanelState {
  std::string functionText;  // "Function : DCV"
  std::string rangeText;     // "Range : 10  VDC"
  std::vector<std::string> secondChoices;
  int secondSelected = -1;  // index into secondChoices, -1 none
  std::string secondLabel = "NONE";
  bool secondActive = false;  // a meter being read has a 2ND function
  // Decided by the selected meter's model (and, for the 2ND chooser's enabled
  // flag, by the 2ND rule of its function, whichever decided last).
  ControlState capButton, tcouplButton, measurementFunctionLabel, secondMarkers, secondChooser;
  std::array<MeterRowState, kMeterPositions> meters;
};

// How a selected meter changes a control: only the named aspect changes.
enum class ControlChange { Keep, Show, Hide, Enable, Disable };
void ApplyControlChange(ControlChange change, ControlState& control);

// One row of the table that adapts the front panel to the selected meter.
struct FunctionControlAdaptation {
  std::string tag;  // searched for in the short name; empty: a meter with neither model number
  enum class Mode { Either, Single, Multi } mode;
  ControlChange capButton, tcouplButton, measurementFunctionLabel, secondMarkers, secondChooser;
};

// Rows in the order they are tried: "6082" before "6081", then the fall-backs by mode.
std::span<const FunctionControlAdaptation> FunctionControlAdaptations();
const FunctionControlAdaptation& FindFunctionControlAdaptation(std::string_view shortName, bool singleDeviceMode);

}  // namespace merilog
