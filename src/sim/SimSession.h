#pragma once
#include <memory>
#include <string>

#include "core/instrument/Session.h"
#include "sim/SimMeter.h"

namespace merilog::sim {

// An in-process session to a simulated meter. Time-outs are decided at once and
// never waited for, so tests of silent or late meters run fast.
class SimSession : public Session {
 public:
  static constexpr int kDefaultTimeoutMs = 2000;  // as a fresh VISA session

  SimSession(std::shared_ptr<SimMeter> meter, std::string resource);
  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }

  int Timeout() const { return timeoutMs_; }

 private:
  Status Check() const;
  std::shared_ptr<SimMeter> meter_;
  std::string resource_;
  std::uint64_t generation_;
  int timeoutMs_ = kDefaultTimeoutMs;
  bool closed_ = false;
};

}  // namespace merilog::sim
