#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"

namespace merilog {

// Finds and opens instruments across all registered backends, in the manner of
// a VISA default resource manager.
class ResourceManager {
 public:
  ResourceManager() = default;
  ResourceManager(const ResourceManager&) = delete;
  ResourceManager& operator=(const ResourceManager&) = delete;

  void AddBackend(std::unique_ptr<Backend> backend);
  const std::vector<std::unique_ptr<Backend>>& Backends() const { return backends_; }
  Backend* FindBackend(const std::string& name) const;
  // Hands the backends over, leaving this manager empty.
  std::vector<std::unique_ptr<Backend>> TakeBackends() { return std::move(backends_); }

  // Resources of every backend that match the expression: USB first, then GPIB,
  // then LAN, then anything else, each group in the order its backends list them.
  // A resource listed by two backends is reported once (the first backend wins).
  // status: success, kErrorResourceNotFound for no match, kErrorInvalidExpression.
  std::vector<std::string> Find(const std::string& pattern, Status* status = nullptr);

  // Opens with the backend that listed the resource, else the first that handles it.
  std::unique_ptr<Session> Open(const std::string& resource, Status* status = nullptr);

 private:
  std::vector<std::unique_ptr<Backend>> backends_;
};

// Registers the backends that talk to real hardware: USBTMC, GPIB, an installed
// VISA library, and raw sockets for the given LAN resources.
void AddHardwareBackends(ResourceManager& rm, const std::vector<std::string>& lanResources);

}  // namespace merilog
