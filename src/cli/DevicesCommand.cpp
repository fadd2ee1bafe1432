#include "cli/DevicesCommand.h"

#include <iostream>

#include "core/instrument/DeviceListModel.h"

namespace merilog::cli {

int RunDevicesCommand(Instruments& instruments) {
  DeviceListModel model(*instruments.resources, instruments.lanResources);
  model.InitialiseDevices();
  for (const auto& line : model.State().lines) std::cout << line << "\n";
  std::cout << std::flush;
  const int found = model.DeviceCount();
  model.CloseDevices();
  return found > 0 ? 0 : 1;
}

}  // namespace merilog::cli
