#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/Session.h"

namespace merilog {

// One way of reaching instruments (USBTMC driver, socket, GPIB library, ...).
// A backend that cannot work on this machine lists nothing and says why.
class Backend {
 public:
  virtual ~Backend() = default;
  virtual std::string Name() const = 0;
  // True when the backend can list or open anything; otherwise whyNot says why in one line.
  virtual bool IsActive(std::string* whyNot) const = 0;
  virtual std::vector<std::string> List() = 0;
  // Whether this backend is the one to open the given resource string.
  virtual bool Handles(const std::string& resource) const = 0;
  virtual std::unique_ptr<Session> Open(const std::string& resource, Status* status) = 0;
};

}  // namespace merilog
