#pragma once
#include <string>
#include <vector>

#include "core/instrument/DeviceEntry.h"

namespace merilog {

// The dialogs that get copies of the device entries at each discovery. Each
// keeps its copy indexed by slot and never closes the sessions.
enum class HandOverDialog { CommandConsole, MultipleReadings, ReadingSettings, DeviceSettings };

struct HandOverFields {
  bool session, displayName, resource, identification, slot;
};
const HandOverFields& HandOverFieldsFor(HandOverDialog dialog);

struct HandedDevice {
  SessionWorker* worker = nullptr;  // the meter's session thread: every exchange goes through it
  std::string displayName;
  std::string resource;
  std::string identification;
  int slot = -1;
};

struct DeviceHandOver {
  std::vector<HandedDevice> devices;  // by slot
  int deviceCount = 0;
};

// The copy a dialog gets: only the fields it is given, the rest left empty.
DeviceHandOver HandOverTo(HandOverDialog dialog, const DeviceTable& devices);

}  // namespace merilog
