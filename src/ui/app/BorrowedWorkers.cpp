#include "ui/app/BorrowedWorkers.h"

#include "core/instrument/SessionWorker.h"

namespace merilog::ui {

namespace {

// A session used through another's: every call is passed on, but closing is
// left to its owner.
class BorrowedSession : public Session {
 public:
  explicit BorrowedSession(Session& owner) : owner_(owner) {}
  Status Write(std::string_view bytes) override { return owner_.Write(bytes); }
  ReadResult Read(std::size_t maxBytes) override { return owner_.Read(maxBytes); }
  Status SetTimeout(int ms) override { return owner_.SetTimeout(ms); }
  Status Clear() override { return owner_.Clear(); }
  Status Close() override { return status::kSuccess; }
  const std::string& Resource() const override { return owner_.Resource(); }

 private:
  Session& owner_;
};

}  // namespace

BorrowedWorkers::BorrowedWorkers() = default;
BorrowedWorkers::~BorrowedWorkers() = default;

void BorrowedWorkers::Fill(DeviceHandOver& handOver) {
  workers_.clear();
  for (HandedDevice& d : handOver.devices) {
    if (d.worker || !d.session) continue;
    workers_.push_back(std::make_unique<SessionWorker>(std::make_unique<BorrowedSession>(*d.session)));
    d.worker = workers_.back().get();
  }
}

}  // namespace merilog::ui
