#include "sim/SimSession.h"

namespace merilog::sim {

SimSession::SimSession(std::shared_ptr<SimMeter> meter, std::string resource)
    : meter_(std::move(meter)), resource_(std::move(resource)), generation_(meter_->Generation()) {}

Status SimSession::Check() const {
  if (closed_) return status::kErrorInvalidObject;
  if (!meter_->Attached() || meter_->Generation() != generation_) return status::kErrorConnectionLost;
  return status::kSuccess;
}

Status SimSession::Write(std::string_view bytes) {
  const Status st = Check();
  return IsSuccess(st) ? meter_->Write(bytes) : st;
}

ReadResult SimSession::Read(std::size_t maxBytes) {
  const Status st = Check();
  if (!IsSuccess(st)) {
    ReadResult r;
    r.status = st;
    return r;
  }
  return meter_->Read(maxBytes, timeoutMs_);
}

Status SimSession::SetTimeout(int ms) {
  const Status st = Check();
  if (st == status::kErrorInvalidObject) return st;
  timeoutMs_ = ms;  // negative: no limit
  return status::kSuccess;
}

Status SimSession::Clear() {
  const Status st = Check();
  return IsSuccess(st) ? meter_->DeviceClear() : st;
}

Status SimSession::Close() {
  if (closed_) return status::kErrorInvalidObject;
  closed_ = true;
  return status::kSuccess;
}

}  // namespace merilog::sim
