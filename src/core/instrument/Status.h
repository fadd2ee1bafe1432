#pragma once
#include <cstdint>
#include <string>

namespace merilog {

// Status codes keep the numeric values of the VISA standard so that logs and
// transcripts read the same as with any VISA implementation.
using Status = std::int32_t;

namespace status {
constexpr Status kSuccess = 0;
// Read stopped because the caller's count was reached; more of the answer is pending.
constexpr Status kSuccessMaxCount = 0x3FFF0006;
constexpr Status kErrorSystem = static_cast<Status>(0xBFFF0000u);
constexpr Status kErrorInvalidObject = static_cast<Status>(0xBFFF000Eu);
constexpr Status kErrorInvalidExpression = static_cast<Status>(0xBFFF0010u);
constexpr Status kErrorResourceNotFound = static_cast<Status>(0xBFFF0011u);  // -1073807343
constexpr Status kErrorInvalidResourceName = static_cast<Status>(0xBFFF0012u);
constexpr Status kErrorTimeout = static_cast<Status>(0xBFFF0015u);  // -1073807339
constexpr Status kErrorIo = static_cast<Status>(0xBFFF003Eu);
// A blocked operation was cut short from another thread (Stop, closing the window).
constexpr Status kErrorAbort = static_cast<Status>(0xBFFF0072u);
constexpr Status kErrorNotSupported = static_cast<Status>(0xBFFF0067u);
constexpr Status kErrorLibraryNotFound = static_cast<Status>(0xBFFF009Eu);
constexpr Status kErrorConnectionLost = static_cast<Status>(0xBFFF00A6u);
}  // namespace status

inline bool IsSuccess(Status s) { return s >= 0; }

// Short English description for messages on the command line and in transcripts.
std::string DescribeStatus(Status s);

}  // namespace merilog
