#include "cli/DevicesCommand.h"

#include <iostream>

#include "core/base/ConfigPaths.h"
#include "core/instrument/DeviceListModel.h"

namespace merilog::cli {

int RunDevicesCommand(merilog::ResourceManager& rm, const std::vector<std::string>& lanResources) {
  DeviceListModel model(rm, DiscoveryLanResources(ConfigurationFilePath(), lanResources));
  model.InitialiseDevices();
  for (const auto& line : model.State().lines) std::cout << line << "\n";
  std::cout << std::flush;
  const int found = model.DeviceCount();
  model.CloseDevices();
  return found > 0 ? 0 : 1;
}

}  // namespace merilog::cli
