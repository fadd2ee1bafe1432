#pragma once
#include <functional>
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

  using BackendList = std::vector<std::shared_ptr<Backend>>;

  void AddBackend(std::shared_ptr<Backend> backend);
  const BackendList& Backends() const { return *backends_; }
  // Hands the backends over, leaving this manager empty.
  BackendList TakeBackends();

  // Resources of every backend that match the expression: USB first, then GPIB,
  // then LAN, then anything else, each group in the order its backends list them.
  // A resource listed by two backends is reported once (the first backend wins).
  // status: success, kErrorResourceNotFound for no match, kErrorInvalidExpression.
  std::vector<std::string> Find(const std::string& pattern, Status* status = nullptr);

  // Opens with the backend that listed the resource, else the first that handles it.
  std::unique_ptr<Session> Open(const std::string& resource, Status* status = nullptr);

  // Find and Open for another thread: they keep the backends they use alive, so
  // a search or an opening that waits on the network may outlive this manager.
  std::function<std::vector<std::string>()> Finder(const std::string& pattern) const;
  std::function<std::unique_ptr<Session>()> Opener(const std::string& resource) const;
  // Opens any resource it is given, from another thread.
  std::function<std::unique_ptr<Session>(const std::string&)> AnyOpener() const;

 private:
  // Replaced, never changed, when a backend is added: a Finder or Opener on
  // another thread keeps reading the list it was given.
  std::shared_ptr<const BackendList> backends_ = std::make_shared<const BackendList>();
};

// Registers the backends that talk to real hardware: USBTMC, GPIB, an installed
// VISA library, and raw sockets for the given LAN resources.
void AddHardwareBackends(ResourceManager& rm, const std::vector<std::string>& lanResources);

}  // namespace merilog
