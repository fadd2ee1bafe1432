#include "cli/CliMeters.h"

#include <QCoreApplication>

namespace merilog::cli {

CliMeters::~CliMeters() {
  if (devices_) devices_->Close();
}

bool CliMeters::Discover(const IoOptions& io, std::string* error) {
  if (!SetUpInstruments(io, &instruments_, error)) return false;
  devices_ = std::make_unique<DeviceListModel>(*instruments_.resources, instruments_.lanResources);
  bool found = false;
  devices_->Discover([&found] { found = true; });
  while (!found) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  return true;
}

}  // namespace merilog::cli
