#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"
#include "core/instrument/LanResource.h"

namespace merilog {

// LAN instruments over VXI-11 ("TCPIP0::host[::inst0]::INSTR"): the host's
// portmapper gives the core channel's port, create_link opens the device.
// Lists the resources it was given; the LAN search finds others.
class Vxi11Backend final : public Backend {
 public:
  explicit Vxi11Backend(std::vector<std::string> resources, std::uint16_t portmapperPort = 111,
                        int connectTimeoutMs = 5000);

  std::string Name() const override { return "VXI-11"; }
  // Inactive without libtirpc (its XDR routines are loaded at run time).
  bool IsActive(std::string* whyNot) const override;
  std::vector<std::string> List() override { return resources_; }
  bool Handles(const std::string& resource) const override;
  // kErrorInvalidResourceName for a malformed string; kErrorResourceNotFound
  // when the host, its portmapper or the device cannot be reached; kErrorTimeout.
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

  static std::optional<LanResource> ParseResource(const std::string& resource, std::string* why = nullptr);

  // The core channel's TCP port from the portmapper at host:portmapperPort; 0 when it has none.
  static std::uint16_t GetCorePort(const std::string& host, std::uint16_t portmapperPort, int timeoutMs,
                                   Status* status);

 private:
  std::vector<std::string> resources_;
  std::uint16_t portmapperPort_;
  int connectTimeoutMs_;
};

}  // namespace merilog
