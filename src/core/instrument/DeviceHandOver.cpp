#include "core/instrument/DeviceHandOver.h"

namespace merilog {

const HandOverFields& HandOverFieldsFor(HandOverDialog dialog) {
  struct Row {
    HandOverDialog dialog;
    HandOverFields fields;
  };
  // fields: session, displayName, resource, identification, slot
  static const Row kRows[] = {
      {HandOverDialog::CommandConsole, {true, true, false, false, false}},
      {HandOverDialog::MultipleReadings, {true, true, false, false, false}},
      {HandOverDialog::ReadingSettings, {true, true, true, false, false}},
      {HandOverDialog::DeviceSettings, {true, true, true, true, true}},
  };
  for (const Row& row : kRows)
    if (row.dialog == dialog) return row.fields;
  return kRows[0].fields;
}

DeviceHandOver HandOverTo(HandOverDialog dialog, const DeviceTable& devices) {
  const HandOverFields& f = HandOverFieldsFor(dialog);
  DeviceHandOver handOver;
  handOver.deviceCount = static_cast<int>(devices.size());
  for (std::size_t slot = 0; slot < devices.size(); ++slot) {
    const DeviceEntry& e = devices[slot];
    HandedDevice d;
    if (f.session) d.worker = e.worker;
    if (f.displayName) d.displayName = e.displayName;
    if (f.resource) d.resource = e.resource;
    if (f.identification) d.identification = e.identification;
    if (f.slot) d.slot = static_cast<int>(slot);
    handOver.devices.push_back(std::move(d));
  }
  return handOver;
}

}  // namespace merilog
