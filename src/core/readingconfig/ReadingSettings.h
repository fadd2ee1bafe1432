#pragma once
#include <array>
#include <string>
#include <vector>

#include "core/measure/PlotColours.h"

namespace merilog {

// Meter positions of one reading session.
constexpr int kReadingPositions = 4;
constexpr int kMinChosenDevices = 2;
constexpr int kMaxChosenDevices = 4;
constexpr int kRecordChoices = 10;

// Values of ReadingSettings::mode.
constexpr int kReadingModeUnset = -1;  // before the dialog was first opened
constexpr int kSingleDeviceMode = 0;
constexpr int kMultiDeviceMode = 1;

// A meter chosen for multi-device mode: its slot in the main window's device
// table (the discovery position) and its display name.
struct ChosenDevice {
  int slot = -1;
  std::string displayName;
  bool operator==(const ChosenDevice&) const = default;
};

// What the Reading Settings dialog decides for the next reading session. The
// main window owns one for the whole run; the dialog edits it in place, so a
// change stays whichever button closes the dialog.
struct ReadingSettings {
  std::array<int, kReadingPositions> recordNumber{};  // 1 to 10 per position; 0 until one is chosen
  std::array<int, kReadingPositions> saveEnabled{};   // 1: that position's readings are stored
  std::array<Rgb, kPlotColourCount> plotColour = DefaultPlotColours();
  int deviceCount = 0;                     // meters found by the last discovery
  int chosenCount = 0;                     // meters chosen for multi-device mode (2 to 4)
  std::vector<ChosenDevice> chosenDevice;  // in device-list order; index k is session position k
  std::array<int, kRecordChoices> recordNumbers{1, 2, 3, 4, 5, 6, 7, 8, 9, 10};  // record behind list entry i
  int dualMeasure = 0;           // 1: the 2ND function is measured and drawn
  int mode = kReadingModeUnset;  // set by the main window before each opening
  std::string deviceNameText;    // the meter shown in multi-device mode
  int currentChosen = 0;         // which chosen meter the multi-device controls show

  bool MultiDevice() const { return mode == kMultiDeviceMode; }
};

}  // namespace merilog
