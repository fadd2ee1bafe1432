#pragma once
#include <array>
#include <string>
#include <vector>

#include "core/readingconfig/ReadingSettings.h"

namespace merilog {

// What the main window changes after the Reading Settings dialog closes. The
// main window applies it in this order: current slot, colours (all nine pens
// recreated, chart repainted), mode, rows 2 to 4 hidden; then, unless
// metersPresent is false, the active slots; shown rows with their labels and
// a status refresh per slot of refreshStatusSlots (in order); the device-list
// line, selected trace and trace reset of single-device mode; and finally
// LayoutDisplays and OnDeviceSelected.
struct ReadingSettingsApplication {
  int currentSlot = -1;  // the device list's selected line, or no meter
  std::array<Rgb, kPlotColourCount> plotColours{};
  bool singleDeviceMode = true;
  bool metersPresent = false;

  std::vector<int> activeSlots;  // the chosen meters' slots, position by position
  // Rows of meters 1 to 4: shown and the label text (the short display name);
  // an empty label leaves the row's text as it is.
  std::array<bool, kReadingPositions> rowShown{true, false, false, false};
  std::array<std::string, kReadingPositions> rowLabel;
  std::vector<int> refreshStatusSlots;  // RefreshStatus for each, in this order

  // Single-device mode: the device list selects currentSlot's line and the
  // chart selects that trace, showing its Y-scale label and data offset.
  bool selectDeviceLine = false;
  int selectedTrace = -1;
  bool resetTraceSelection = false;

  bool layoutDisplays = false;
  int onDeviceSelectedCalls = 0;  // multi-device rows and the final step each run it once
  bool enableDeviceList = false;
};

// Computes the changes from the dialog's settings, the main window's selected
// device-list line (-1 for none) and the number of meters found. Pure: the
// main window's model carries them out.
ReadingSettingsApplication ApplyReadingSettings(const ReadingSettings& settings, int selectedLine, int deviceCount);

}  // namespace merilog
