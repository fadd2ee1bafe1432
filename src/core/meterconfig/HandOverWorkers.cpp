#include "core/meterconfig/HandOverWorkers.h"

#include <algorithm>

namespace merilog {

namespace {

// A session used through another's: closing it leaves the lender's open.
class BorrowedSession : public Session {
 public:
  explicit BorrowedSession(Session* lender) : lender_(lender) {}
  Status Write(std::string_view bytes) override { return lender_->Write(bytes); }
  ReadResult Read(std::size_t maxBytes) override { return lender_->Read(maxBytes); }
  Status SetTimeout(int ms) override { return lender_->SetTimeout(ms); }
  Status Clear() override { return lender_->Clear(); }
  Status Close() override { return status::kSuccess; }
  const std::string& Resource() const override { return lender_->Resource(); }

 private:
  Session* lender_;
};

}  // namespace

void HandOverWorkers::Fill(DeviceHandOver& handOver) {
  for (HandedDevice& d : handOver.devices) {
    if (d.worker || !d.session) continue;
    auto it = std::find_if(made_.begin(), made_.end(), [&](const Made& m) { return m.session == d.session; });
    if (it == made_.end()) {
      made_.push_back({d.session, std::make_unique<SessionWorker>(std::make_unique<BorrowedSession>(d.session))});
      it = made_.end() - 1;
    }
    d.worker = it->worker.get();
  }
}

}  // namespace merilog
