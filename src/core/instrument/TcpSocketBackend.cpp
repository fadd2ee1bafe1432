#include "core/instrument/TcpSocketBackend.h"

#include "core/instrument/LanSocket.h"
#include "core/instrument/TcpSocketSession.h"

namespace merilog {
TcpSocketBackend::TcpSocketBackend(std::vector<std::string> resources, int connectTimeoutMs)
    : connectTimeoutMs_(connectTimeoutMs) {
  // Only well-formed resources are listed: a typo would otherwise show up as an instrument.
  for (auto& r : resources)
    if (ParseResource(r)) resources_.push_back(std::move(r));
}

bool TcpSocketBackend::IsActive(std::string* whyNot) const {
  (void)whyNot;
  return true;  // sockets are always available; the list may simply be empty
}

bool TcpSocketBackend::Handles(const std::string& resource) const {
  // Claim every socket resource, malformed ones too, so they get a precise status.
  return LanResource::LooksLike(resource, LanResource::Protocol::Socket);
}

std::optional<LanResource> TcpSocketBackend::ParseResource(const std::string& resource, std::string* why) {
  return LanResource::ParseAs(resource, LanResource::Protocol::Socket, why);
}

std::unique_ptr<Session> TcpSocketBackend::Open(const std::string& resource, Status* status) {
  Status st = status::kErrorInvalidResourceName;
  std::unique_ptr<Session> session;
  if (const auto address = ParseResource(resource)) {
    const int fd = ConnectTcp(address->host, address->port, connectTimeoutMs_, &st);
    if (fd >= 0) session = std::make_unique<TcpSocketSession>(fd, resource);
  }
  if (status) *status = st;
  return session;
}

}  // namespace merilog
