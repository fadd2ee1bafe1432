#pragma once
#include <string>

#include "core/instrument/GpibApi.h"
#include "core/instrument/Session.h"

namespace merilog {

// One device descriptor of linux-gpib. The END bit of a read marks the end of
// the instrument's message (EOI); no end-of-string character is used.
class GpibSession final : public Session {
 public:
  GpibSession(const GpibApi& api, int ud, std::string resource);
  ~GpibSession() override;
  GpibSession(const GpibSession&) = delete;
  GpibSession& operator=(const GpibSession&) = delete;

  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  // Rounded up to the library's next time-out step.
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }

 private:
  Status ErrorStatus(int ibsta) const;

  GpibApi api_;
  int ud_;
  std::string resource_;
};

}  // namespace merilog
