#include "core/instrument/Vxi11Backend.h"

#include <unistd.h>

#include <atomic>
#include <chrono>

#include "core/instrument/OncRpc.h"
#include "core/instrument/Tirpc.h"
#include "core/instrument/Vxi11Protocol.h"
#include "core/instrument/Vxi11Session.h"

namespace merilog {
namespace {

// Transaction ids start apart per link, so a stray reply never matches a new call.
std::uint32_t FirstXid() {
  static std::atomic<std::uint32_t> next{
      static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count() & 0x7FFFFFFF)};
  return next.fetch_add(0x10000);
}

// create_link's client id: one per process is what instruments expect.
long ClientId() {
  return static_cast<long>(::getpid() & 0x7FFFFFFF);
}

}  // namespace

Vxi11Backend::Vxi11Backend(std::vector<std::string> resources, std::uint16_t portmapperPort, int connectTimeoutMs)
    : portmapperPort_(portmapperPort), connectTimeoutMs_(connectTimeoutMs) {
  for (auto& r : resources)
    if (ParseResource(r)) resources_.push_back(std::move(r));
}

bool Vxi11Backend::IsActive(std::string* whyNot) const {
  return tirpc::Load(whyNot);
}

bool Vxi11Backend::Handles(const std::string& resource) const {
  return LanResource::LooksLike(resource, LanResource::Protocol::Vxi11);
}

std::optional<LanResource> Vxi11Backend::ParseResource(const std::string& resource, std::string* why) {
  return LanResource::ParseAs(resource, LanResource::Protocol::Vxi11, why);
}

std::uint16_t Vxi11Backend::GetCorePort(const std::string& host, std::uint16_t portmapperPort, int timeoutMs,
                                        Status* status) {
  const int fd = ConnectTcp(host, portmapperPort, timeoutMs, status);
  if (fd < 0) return 0;
  std::string results;
  Deadline deadline(timeoutMs);
  const std::string args = rpc::EncodeMapping(DEVICE_CORE, DEVICE_CORE_VERSION, rpc::kProtocolTcp, 0);
  // CallRpc asks version 1 of a program; the portmapper's is 2, so the call is made here.
  const std::uint32_t xid = FirstXid();
  Status st = SendAll(
      fd, rpc::Frame(rpc::EncodeCall(xid, rpc::kPortmapProgram, rpc::kPortmapVersion, rpc::kPortmapProcGetPort, args)),
      deadline, nullptr);
  std::uint16_t port = 0;
  std::string record;
  while (IsSuccess(st)) {
    st = rpc::ReceiveRecord(fd, &record, deadline, nullptr);
    if (!IsSuccess(st)) break;
    const auto reply = rpc::DecodeReply(record);
    if (reply && reply->xid != xid) continue;
    if (!reply || reply->stat != rpc::kSuccess || reply->results.size() < 4) {
      st = status::kErrorResourceNotFound;
      break;
    }
    const std::uint32_t p = rpc::GetWord(reply->results, 0);
    port = p > 0 && p <= 65535 ? static_cast<std::uint16_t>(p) : 0;
    st = port ? status::kSuccess : status::kErrorResourceNotFound;
    break;
  }
  ::close(fd);
  *status = st;
  return port;
}

std::unique_ptr<Session> Vxi11Backend::Open(const std::string& resource, Status* status) {
  const auto fail = [status](Status st) -> std::unique_ptr<Session> {
    if (status) *status = st;
    return nullptr;
  };
  const auto address = ParseResource(resource);
  if (!address) return fail(status::kErrorInvalidResourceName);
  if (!tirpc::Load()) return fail(status::kErrorLibraryNotFound);
  Status st = status::kSuccess;
  const std::uint16_t corePort = GetCorePort(address->host, portmapperPort_, connectTimeoutMs_, &st);
  if (!corePort) return fail(st == status::kErrorTimeout ? st : status::kErrorResourceNotFound);
  const int fd = ConnectTcp(address->host, corePort, connectTimeoutMs_, &st);
  if (fd < 0) return fail(st);

  Create_LinkParms p{};
  p.clientId = ClientId();
  p.device = const_cast<char*>(address->deviceName.c_str());
  const auto args = tirpc::Encode(reinterpret_cast<xdrproc_t>(xdr_Create_LinkParms), &p);
  std::string results;
  Deadline deadline(connectTimeoutMs_);
  std::uint32_t xid = FirstXid();
  st = args ? Vxi11Session::CallRpc(fd, xid++, DEVICE_CORE, create_link, *args, &results, deadline, nullptr)
            : status::kErrorSystem;
  Create_LinkResp resp{};
  if (IsSuccess(st) && !tirpc::Decode(reinterpret_cast<xdrproc_t>(xdr_Create_LinkResp), results, &resp))
    st = status::kErrorIo;
  if (IsSuccess(st) && resp.error != vxi11::kErrorNone)
    st = Vxi11Session::FromDeviceError(static_cast<std::int32_t>(resp.error));
  if (!IsSuccess(st)) {
    ::close(fd);
    return fail(st == status::kErrorTimeout ? st : status::kErrorResourceNotFound);
  }
  Vxi11Session::Link link;
  link.host = address->host;
  link.lid = static_cast<std::int32_t>(resp.lid);
  link.abortPort = resp.abortPort;
  link.maxRecvSize = static_cast<std::uint32_t>(resp.maxRecvSize);
  if (status) *status = status::kSuccess;
  return std::make_unique<Vxi11Session>(fd, std::move(link), resource, xid);
}

}  // namespace merilog
