#include "core/readingconfig/ApplyReadingSettings.h"

#include <algorithm>

#include "core/instrument/DeviceListModel.h"

namespace merilog {

ReadingSettingsApplication ApplyReadingSettings(const ReadingSettings& settings, int selectedLine, int deviceCount) {
  ReadingSettingsApplication a;
  a.currentSlot = selectedLine;
  a.plotColours = settings.plotColour;
  a.singleDeviceMode = !settings.MultiDevice();
  a.metersPresent = deviceCount > 0;
  if (!a.metersPresent) {
    a.currentSlot = kNoDeviceSlot;
    return a;
  }

  // Only meters of the latest discovery take part; a stale choice (fewer
  // meters found since) would address a session that no longer exists.
  const int chosen = std::min<int>(settings.chosenCount, static_cast<int>(settings.chosenDevice.size()));
  for (int k = 0; k < chosen && k < kReadingPositions; ++k) {
    const int slot = settings.chosenDevice[k].slot;
    if (slot >= 0 && slot < deviceCount) a.activeSlots.push_back(slot);
  }

  if (settings.MultiDevice() && a.activeSlots.size() > 1) {
    for (std::size_t i = 0; i < a.activeSlots.size(); ++i) {
      a.rowShown[i] = true;
      a.refreshStatusSlots.push_back(a.activeSlots[i]);
      a.rowLabel[i] = ShortDeviceName(settings.chosenDevice[i].displayName);
    }
    ++a.onDeviceSelectedCalls;
  }

  if (a.singleDeviceMode) {
    a.selectDeviceLine = a.currentSlot >= 0;
    a.selectedTrace = a.currentSlot;
    a.resetTraceSelection = true;
  }

  if (a.currentSlot >= 0) a.refreshStatusSlots.push_back(a.currentSlot);
  a.layoutDisplays = true;
  ++a.onDeviceSelectedCalls;
  a.enableDeviceList = true;
  return a;
}

}  // namespace merilog
