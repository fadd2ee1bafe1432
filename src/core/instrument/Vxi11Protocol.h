#pragma once
#include <cstdint>

// Numbers of the VXI-11 protocol (flags, reasons, error codes) that the client
// and the simulated meters' server share.
namespace merilog::vxi11 {

constexpr std::int32_t kFlagWaitLock = 0x01;
constexpr std::int32_t kFlagEnd = 0x08;
constexpr std::int32_t kFlagTermCharSet = 0x80;

constexpr std::int32_t kReasonRequestCount = 0x01;
constexpr std::int32_t kReasonTermChar = 0x02;
constexpr std::int32_t kReasonEnd = 0x04;

constexpr std::int32_t kErrorNone = 0;
constexpr std::int32_t kErrorSyntax = 1;
constexpr std::int32_t kErrorDeviceNotAccessible = 3;
constexpr std::int32_t kErrorInvalidLink = 4;
constexpr std::int32_t kErrorParameter = 5;
constexpr std::int32_t kErrorNotSupported = 8;
constexpr std::int32_t kErrorOutOfResources = 9;
constexpr std::int32_t kErrorLocked = 11;
constexpr std::int32_t kErrorIoTimeout = 15;
constexpr std::int32_t kErrorIo = 17;
constexpr std::int32_t kErrorAbort = 23;

}  // namespace merilog::vxi11
