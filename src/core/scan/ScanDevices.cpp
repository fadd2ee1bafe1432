#include "core/scan/ScanDevices.h"

#include "core/instrument/DeviceEntry.h"
#include "core/instrument/ResourceList.h"
#include "core/instrument/ResourceManager.h"
#include "core/scan/ScanProcedures.h"

namespace merilog {

const ScanDevice* ScanDevices::Device(int line) const {
  return line >= 0 && line < Count() ? &devices_[static_cast<std::size_t>(line)] : nullptr;
}

SessionWorker* ScanDevices::Worker(int line) const {
  const ScanDevice* d = Device(line);
  return d ? d->worker.get() : nullptr;
}

void ScanDevices::Close() {
  guard_ = std::make_unique<CallbackGuard>();  // results of the old search change nothing
  searchThread_.reset();
  candidates_.clear();
  devices_.clear();
  searching_ = false;
}

void ScanDevices::Search(std::function<void()> done) {
  Close();
  searching_ = true;
  // A search thread that is left alone when the dialog closes: opening a LAN
  // or GPIB instrument may wait, and nobody waits for it.
  searchThread_ = std::make_unique<WorkerThread>(WorkerThread::AtEnd::Abandon);
  ResourceManager& rm = rm_;
  searchThread_->Run<std::vector<Candidate>>(
      [&rm, lan = lanResources_] {
        std::vector<std::string> found = rm.Find(kScanUsbSearchPattern);
        const std::vector<std::string> gpib = rm.Find(kScanGpibSearchPattern);
        found.insert(found.end(), gpib.begin(), gpib.end());
        // A LAN instrument named twice, or found on a bus already, is opened once.
        AppendNewResources(found, lan);
        std::vector<Candidate> candidates;
        for (const std::string& resource : found) {
          // One that cannot be opened cannot answer: it is passed over.
          if (auto session = rm.Open(resource)) candidates.push_back({resource, std::move(session)});
        }
        return candidates;
      },
      [this, done = std::move(done)](std::vector<Candidate> candidates) mutable {
        Identify(std::move(candidates), std::move(done));
      },
      guard_->Watch());
}

void ScanDevices::Identify(std::vector<Candidate> candidates, std::function<void()> done) {
  candidates_.clear();
  for (Candidate& c : candidates)
    candidates_.push_back({std::make_unique<SessionWorker>(std::move(c.session)), c.resource, {}, {}});
  auto pending = std::make_shared<std::size_t>(candidates_.size());
  auto finish = [this, done = std::move(done)] {
    for (ScanDevice& d : candidates_)
      if (IsScannerIdentification(d.identification)) {
        d.displayName = MakeDeviceDisplayName(d.identification, d.resource);
        devices_.push_back(std::move(d));
      }
    candidates_.clear();  // the others are closed now
    searching_ = false;
    done();
  };
  if (*pending == 0) return finish();
  for (std::size_t i = 0; i < candidates_.size(); ++i) {
    candidates_[i].worker->Run<std::string>(
        IdentifyScanCandidate,
        [this, i, pending, finish](std::string identification) {
          candidates_[i].identification = std::move(identification);
          if (--*pending == 0) finish();
        },
        guard_->Watch());
  }
}

}  // namespace merilog
