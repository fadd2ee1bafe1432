#include "core/instrument/VisaLibrarySession.h"

#include <algorithm>

namespace merilog {
namespace {

// One read asks for at most this much, so a huge count costs no huge buffer.
constexpr std::size_t kMaxPiece = 1 << 20;

}  // namespace

VisaLibrarySession::VisaLibrarySession(std::shared_ptr<VisaLibraryBackend::ResourceManagerHandle> rm,
                                       visa::ViSession vi, std::string resource)
    : rm_(std::move(rm)), vi_(vi), resource_(std::move(resource)) {}

VisaLibrarySession::~VisaLibrarySession() {
  if (open_) rm_->api.viClose(vi_);
}

Status VisaLibrarySession::Write(std::string_view bytes) {
  if (!open_) return status::kErrorInvalidObject;
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  std::size_t left = bytes.size();
  // viWrite sends everything or fails; the loop only guards against a library that
  // reports a short count, and stops if it makes no progress.
  while (left > 0) {
    visa::ViUInt32 written = 0;
    const auto chunk = static_cast<visa::ViUInt32>(std::min<std::size_t>(left, 0x7FFFFFFF));
    const Status st = rm_->api.viWrite(vi_, p, chunk, &written);
    if (!IsSuccess(st)) return st;
    if (written == 0 || written > chunk) return status::kErrorIo;
    p += written;
    left -= written;
  }
  return status::kSuccess;
}

ReadResult VisaLibrarySession::Read(std::size_t maxBytes) {
  ReadResult r;
  if (!open_) {
    r.status = status::kErrorInvalidObject;
    return r;
  }
  const std::size_t want = std::min(maxBytes, kMaxPiece);
  r.bytes.resize(want);
  visa::ViUInt32 got = 0;
  const Status st =
      rm_->api.viRead(vi_, reinterpret_cast<unsigned char*>(r.bytes.data()), static_cast<visa::ViUInt32>(want), &got);
  r.bytes.resize(std::min<std::size_t>(got, want));
  r.status = st;
  if (st == visa::kSuccessTermChar) r.status = status::kSuccess;
  // A piece cut short by the count the caller gave is not the end; anything else that succeeded is.
  r.end = IsSuccess(st) && st != visa::kSuccessMaxCount;
  return r;
}

Status VisaLibrarySession::SetTimeout(int ms) {
  if (!open_) return status::kErrorInvalidObject;
  const visa::ViAttrState value = ms < 0 ? visa::kTimeoutInfinite : static_cast<visa::ViAttrState>(ms);
  return rm_->api.viSetAttribute(vi_, visa::kAttrTimeoutValue, value);
}

Status VisaLibrarySession::Clear() {
  if (!open_) return status::kErrorInvalidObject;
  return rm_->api.viClear(vi_);
}

Status VisaLibrarySession::Close() {
  if (!open_) return status::kErrorInvalidObject;
  open_ = false;
  return rm_->api.viClose(vi_);
}

}  // namespace merilog
