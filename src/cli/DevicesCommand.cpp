#include "cli/DevicesCommand.h"

#include <QCoreApplication>
#include <iostream>

#include "core/instrument/DeviceListModel.h"

namespace merilog::cli {

int RunDevicesCommand(Instruments& instruments, bool searchLan) {
  DeviceListModel model(*instruments.resources, instruments.lanResources);
  if (searchLan) model.SetLanSearch(LanSearchOptions{});
  model.Discover([] { QCoreApplication::exit(0); });
  QCoreApplication::exec();
  for (const auto& line : model.Lines()) std::cout << line << "\n";
  std::cout << std::flush;
  const int found = model.DeviceCount();
  model.Close();
  return found > 0 ? 0 : 1;
}

}  // namespace merilog::cli
