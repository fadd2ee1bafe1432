#include "core/instrument/Status.h"

#include <cstdio>

namespace merilog {

std::string DescribeStatus(Status s) {
  switch (s) {
    case status::kSuccess: return "success";
    case status::kSuccessMaxCount: return "success, more data pending";
    case status::kErrorSystem: return "system error";
    case status::kErrorInvalidObject: return "invalid session";
    case status::kErrorInvalidExpression: return "invalid search expression";
    case status::kErrorResourceNotFound: return "resource not found";
    case status::kErrorInvalidResourceName: return "invalid resource name";
    case status::kErrorTimeout: return "time-out";
    case status::kErrorIo: return "I/O error";
    case status::kErrorAbort: return "aborted";
    case status::kErrorNotSupported: return "operation not supported";
    case status::kErrorLibraryNotFound: return "library not found";
    case status::kErrorConnectionLost: return "connection lost";
    default: break;
  }
  char buf[48];
  std::snprintf(buf, sizeof buf, "status %d (0x%08X)", static_cast<int>(s), static_cast<unsigned>(s));
  return buf;
}

}  // namespace merilog
