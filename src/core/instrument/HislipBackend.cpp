#include "core/instrument/HislipBackend.h"

#include <unistd.h>

#include "core/instrument/HislipMessage.h"
#include "core/instrument/HislipSession.h"

namespace merilog {
namespace {

// Our vendor id in Initialize: two characters, "ML".
constexpr std::uint16_t kVendorId = ('M' << 8) | 'L';

// Sends one message and waits for the reply of the expected type; a FatalError
// or anything else refuses the session.
Status Exchange(int fd, const std::string& message, std::uint8_t expected, hislip::Message* reply, Deadline& deadline) {
  Status st = SendAll(fd, message, deadline, nullptr);
  if (IsSuccess(st)) st = hislip::Receive(fd, reply, HislipSession::kMaxPayload, deadline, nullptr);
  if (IsSuccess(st) && reply->type != expected) st = status::kErrorResourceNotFound;
  return st;
}

}  // namespace

HislipBackend::HislipBackend(std::vector<std::string> resources, int connectTimeoutMs)
    : connectTimeoutMs_(connectTimeoutMs) {
  for (auto& r : resources)
    if (ParseResource(r)) resources_.push_back(std::move(r));
}

bool HislipBackend::Handles(const std::string& resource) const {
  return LanResource::LooksLike(resource, LanResource::Protocol::Hislip);
}

std::optional<LanResource> HislipBackend::ParseResource(const std::string& resource, std::string* why) {
  return LanResource::ParseAs(resource, LanResource::Protocol::Hislip, why);
}

std::unique_ptr<Session> HislipBackend::Open(const std::string& resource, Status* status) {
  Status st = status::kErrorInvalidResourceName;
  std::unique_ptr<Session> session;
  const auto address = ParseResource(resource);
  int syncFd = -1, asyncFd = -1;
  if (address) syncFd = ConnectTcp(address->host, address->port, connectTimeoutMs_, &st);
  if (syncFd >= 0) {
    Deadline deadline(connectTimeoutMs_);
    hislip::Message reply;
    st = Exchange(syncFd,
                  hislip::Encode(hislip::kInitialize, 0, (std::uint32_t{hislip::kProtocolVersion} << 16) | kVendorId,
                                 address->deviceName),
                  hislip::kInitializeResponse, &reply, deadline);
    const std::uint32_t sessionId = reply.parameter & 0xFFFF;
    if (IsSuccess(st)) asyncFd = ConnectTcp(address->host, address->port, connectTimeoutMs_, &st);
    if (asyncFd >= 0)
      st = Exchange(asyncFd, hislip::Encode(hislip::kAsyncInitialize, 0, sessionId), hislip::kAsyncInitializeResponse,
                    &reply, deadline);
    if (IsSuccess(st))
      st = Exchange(asyncFd,
                    hislip::Encode(hislip::kAsyncMaxMsgSize, 0, 0, hislip::SizePayload(HislipSession::kMaxPayload)),
                    hislip::kAsyncMaxMsgSizeResponse, &reply, deadline);
    if (IsSuccess(st)) {
      session = std::make_unique<HislipSession>(syncFd, asyncFd, hislip::SizeOf(reply.payload), resource);
    } else {
      if (st != status::kErrorTimeout) st = status::kErrorResourceNotFound;
      ::close(syncFd);
      if (asyncFd >= 0) ::close(asyncFd);
    }
  }
  if (status) *status = st;
  return session;
}

}  // namespace merilog
