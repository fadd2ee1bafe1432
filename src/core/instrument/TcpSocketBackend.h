#pragma once
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/instrument/Backend.h"
#include "core/instrument/LanResource.h"

namespace merilog {

// Instruments reached by raw SCPI over TCP ("TCPIP0::<host>::<port>::SOCKET").
// LAN instruments are not discovered: the backend lists the resources it was given.
class TcpSocketBackend final : public Backend {
 public:
  explicit TcpSocketBackend(std::vector<std::string> resources, int connectTimeoutMs = 5000);

  std::string Name() const override { return "TCP socket"; }
  bool IsActive(std::string* whyNot) const override;
  std::vector<std::string> List() override { return resources_; }
  bool Handles(const std::string& resource) const override;
  // kErrorInvalidResourceName for a malformed string, kErrorResourceNotFound when
  // nothing accepts the connection, kErrorTimeout when the connection is not made in time.
  std::unique_ptr<Session> Open(const std::string& resource, Status* status) override;

  // TCPIP[board]::<host>::<port>::SOCKET, case-insensitive; the port is required.
  // Empty when malformed; why then says what is wrong.
  static std::optional<LanResource> ParseResource(const std::string& resource, std::string* why = nullptr);

 private:
  std::vector<std::string> resources_;
  int connectTimeoutMs_;
};

}  // namespace merilog
