#pragma once
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"
#include "core/instrument/LanResource.h"

namespace merilog {

// LAN instruments over HiSLIP ("TCPIP0::host::hislip0[,port]::INSTR"),
// synchronous mode. Lists the resources it was given.
class HislipBackend final : public Backend {
 public:
  explicit HislipBackend(std::vector<std::string> resources, int connectTimeoutMs = 5000);

  std::string Name() const override { return "HiSLIP"; }
  bool IsActive(std::string* whyNot) const override { return true; }
  std::vector<std::string> List() override { return resources_; }
  bool Handles(const std::string& resource) const override;
  // kErrorResourceNotFound when the host does not accept, or refuses the
  // sub-address with a FatalError; kErrorTimeout.
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

  static std::optional<LanResource> ParseResource(const std::string& resource, std::string* why = nullptr);

 private:
  std::vector<std::string> resources_;
  int connectTimeoutMs_;
};

}  // namespace merilog
