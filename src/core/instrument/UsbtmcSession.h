#pragma once
#include <string>

#include "core/instrument/Session.h"

namespace merilog {

// One open /dev/usbtmcN. The driver frames messages itself: a write is one
// message, and the end of an answer is the EOM bit of its last transfer.
class UsbtmcSession final : public Session {
 public:
  // The driver refuses time-outs below this.
  static constexpr int kMinTimeoutMs = 100;

  // Takes ownership of the open device node.
  UsbtmcSession(int fd, std::string resource);
  ~UsbtmcSession() override;
  UsbtmcSession(const UsbtmcSession&) = delete;
  UsbtmcSession& operator=(const UsbtmcSession&) = delete;

  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  // Shorter time-outs are raised to kMinTimeoutMs; ms < 0 waits as long as the driver allows.
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }

 private:
  int fd_;
  std::string resource_;
};

}  // namespace merilog
