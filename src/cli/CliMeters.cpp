#include "cli/CliMeters.h"

#include "core/instrument/DeviceDiscovery.h"

namespace merilog::cli {

CliMeters::~CliMeters() {
  own_.clear();
  if (devices_) devices_->Close();
}

bool CliMeters::Discover(const IoOptions& io, std::string* error) {
  if (!SetUpInstruments(io, &instruments_, error)) return false;
  devices_ = std::make_unique<DeviceListModel>(*instruments_.resources, instruments_.lanResources);
  devices_->Discover();
  table_ = devices_->Devices();
  bool workersHanded = true;
  for (const DeviceEntry& e : table_) workersHanded = workersHanded && e.worker;
  if (workersHanded) return true;
  // Discovery that hands out no workers keeps its own sessions: close them and
  // give each meter a worker that opens its session anew, on its own thread.
  devices_->Close();
  ResourceManager* resources = instruments_.resources.get();
  for (DeviceEntry& e : table_) {
    e.session = nullptr;
    own_.push_back(std::make_unique<SessionWorker>(e.resource, [resources, resource = e.resource] {
      Status status = 0;
      std::unique_ptr<Session> session = resources->Open(resource, &status);
      if (session) session->SetTimeout(kDiscoveryTimeoutMs);
      return session;
    }));
    e.worker = own_.back().get();
  }
  return true;
}

}  // namespace merilog::cli
