#pragma once
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "core/instrument/Session.h"
#include "sim/SimMeter.h"
#include "sim/SimSession.h"

namespace merilog::test {

// A simulated meter whose sessions record every command written to them.
class MeterRig {
 public:
  explicit MeterRig(const std::string& model, double capMaxRange = 0, std::string identification = {}) {
    sim::SimMeterDescription description;
    description.resource = "USB0::0x3A7D::0x" + model + "::SN7::INSTR";
    description.model = model;
    description.overloadEvery = 0;
    description.capMaxRange = capMaxRange;
    description.identification = std::move(identification);
    meter = std::make_shared<sim::SimMeter>(description, nullptr);
  }
  // A session of its own over the meter, for a procedure or a worker.
  std::unique_ptr<Session> Open() { return std::make_unique<Recording>(meter, *this); }
  // Runs commands on the meter directly, unrecorded.
  void Setup(std::initializer_list<const char*> commands) {
    for (const char* c : commands) meter->Execute(c);
  }
  std::vector<std::string> Sent() const {
    std::lock_guard lock(mutex_);
    return sent_;
  }
  void ClearSent() {
    std::lock_guard lock(mutex_);
    sent_.clear();
  }

  std::shared_ptr<sim::SimMeter> meter;

 private:
  class Recording : public sim::SimSession {
   public:
    Recording(std::shared_ptr<sim::SimMeter> m, MeterRig& rig) : SimSession(m, m->Resource()), rig_(rig) {}
    Status Write(std::string_view bytes) override {
      {
        std::lock_guard lock(rig_.mutex_);
        rig_.sent_.emplace_back(bytes);
      }
      return SimSession::Write(bytes);
    }

   private:
    MeterRig& rig_;
  };
  mutable std::mutex mutex_;
  std::vector<std::string> sent_;
};

}  // namespace merilog::test
