#include "sim/SimBackend.h"

#include "sim/SimSession.h"

namespace merilog::sim {

SimBackend::SimBackend(std::shared_ptr<SimBench> bench) : bench_(std::move(bench)) {}

bool SimBackend::IsActive(std::string* whyNot) const {
  if (bench_) return true;
  if (whyNot) *whyNot = "no simulated bench";
  return false;
}

std::vector<std::string> SimBackend::List() {
  return bench_ ? bench_->Resources() : std::vector<std::string>{};
}

bool SimBackend::Handles(const std::string& resource) const {
  return bench_ && bench_->Meter(resource) != nullptr;
}

std::unique_ptr<Session> SimBackend::Open(const std::string& resource, Status* status) {
  std::string name;
  auto meter = bench_ ? bench_->SharedMeter(resource, &name) : nullptr;
  if (!meter || !meter->Attached()) {
    if (status) *status = status::kErrorResourceNotFound;
    return nullptr;
  }
  if (status) *status = status::kSuccess;
  return std::make_unique<SimSession>(std::move(meter), name);
}

}  // namespace merilog::sim
