#include "core/instrument/GpibSession.h"

#include <algorithm>

#include "core/instrument/GpibBackend.h"

namespace merilog {
namespace {

// One read asks for at most this much, so a huge count costs no huge buffer;
// the caller reads again for the rest as with any count.
constexpr std::size_t kMaxPiece = 1 << 20;

}  // namespace

GpibSession::GpibSession(const GpibApi& api, int ud, std::string resource)
    : api_(api), ud_(ud), resource_(std::move(resource)) {}

GpibSession::~GpibSession() {
  if (ud_ >= 0) api_.ibonl(ud_, 0);
}

Status GpibSession::ErrorStatus(int ibsta) const {
  if (ibsta & gpib::kTimo) return status::kErrorTimeout;
  switch (api_.LastError()) {
    case gpib::kEabo:
      return status::kErrorTimeout;
    case gpib::kEnol:
      return status::kErrorConnectionLost;  // the instrument left the bus or was switched off
    case gpib::kEneb:
      return status::kErrorConnectionLost;
    default:
      return status::kErrorIo;
  }
}

Status GpibSession::Write(std::string_view bytes) {
  if (ud_ < 0) return status::kErrorInvalidObject;
  const int sta = api_.ibwrt(ud_, bytes.data(), static_cast<long>(bytes.size()));
  return (sta & gpib::kErr) ? ErrorStatus(sta) : status::kSuccess;
}

ReadResult GpibSession::Read(std::size_t maxBytes) {
  ReadResult r;
  if (ud_ < 0) {
    r.status = status::kErrorInvalidObject;
    return r;
  }
  const std::size_t want = std::min(maxBytes, kMaxPiece);
  r.bytes.resize(want);
  const int sta = want ? api_.ibrd(ud_, r.bytes.data(), static_cast<long>(want)) : 0;
  const long got = want ? api_.LastCount() : 0;
  r.bytes.resize(static_cast<std::size_t>(std::clamp<long>(got, 0, static_cast<long>(want))));
  if (sta & gpib::kErr) {
    r.status = ErrorStatus(sta);
  } else if (sta & gpib::kEnd) {
    r.status = status::kSuccess;
    r.end = true;
  } else if (r.bytes.size() == want) {
    r.status = status::kSuccessMaxCount;
  } else {
    // Stopped short without END: nothing else can stop a read, so take it as the end.
    r.status = status::kSuccess;
    r.end = true;
  }
  return r;
}

Status GpibSession::SetTimeout(int ms) {
  if (ud_ < 0) return status::kErrorInvalidObject;
  const int sta = api_.ibtmo(ud_, GpibBackend::TimeoutCode(ms));
  return (sta & gpib::kErr) ? status::kErrorIo : status::kSuccess;
}

Status GpibSession::Clear() {
  if (ud_ < 0) return status::kErrorInvalidObject;
  const int sta = api_.ibclr(ud_);
  return (sta & gpib::kErr) ? ErrorStatus(sta) : status::kSuccess;
}

Status GpibSession::Close() {
  if (ud_ < 0) return status::kErrorInvalidObject;
  api_.ibonl(ud_, 0);
  ud_ = -1;
  return status::kSuccess;
}

}  // namespace merilog
