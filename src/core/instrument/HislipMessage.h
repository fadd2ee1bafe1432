#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/instrument/LanSocket.h"

namespace merilog::hislip {

// HiSLIP (IVI-6.1) messages: a 16-byte header ("HS", message type, control
// code, a 32-bit message parameter, a 64-bit payload length, all big-endian)
// and the payload.
enum Type : std::uint8_t {
  kInitialize = 0,
  kInitializeResponse = 1,
  kFatalError = 2,
  kError = 3,
  kData = 6,
  kDataEnd = 7,
  kDeviceClearComplete = 8,
  kDeviceClearAcknowledge = 9,
  kInterrupted = 13,
  kAsyncInterrupted = 14,
  kAsyncMaxMsgSize = 15,
  kAsyncMaxMsgSizeResponse = 16,
  kAsyncInitialize = 17,
  kAsyncInitializeResponse = 18,
  kAsyncDeviceClear = 19,
  kAsyncDeviceClearAcknowledge = 23,
};

constexpr std::size_t kHeaderSize = 16;
constexpr std::uint16_t kProtocolVersion = 0x0100;  // 1.0
constexpr std::uint32_t kFirstMessageId = 0xFFFFFF00u;
constexpr std::uint8_t kRmtDelivered = 0x01;  // control bit of Data/DataEnd
// Fatal error codes (control code of FatalError).
constexpr std::uint8_t kFatalPoorlyFormedHeader = 1;
constexpr std::uint8_t kFatalChannelsNotEstablished = 2;
constexpr std::uint8_t kFatalInvalidInitialization = 3;
// Non-fatal error codes (control code of Error).
constexpr std::uint8_t kErrorUnrecognizedType = 1;
constexpr std::uint8_t kErrorTooLarge = 4;

struct Message {
  std::uint8_t type = 0;
  std::uint8_t control = 0;
  std::uint32_t parameter = 0;
  std::string payload;
};

std::string Encode(std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload = {});
// An eight-byte big-endian size, the payload of AsyncMaxMsgSize and its response.
std::string SizePayload(std::uint64_t size);
std::uint64_t SizeOf(std::string_view payload);

// The header at the front of bytes: empty without "HS"; *length gets the payload length.
std::optional<Message> DecodeHeader(std::string_view bytes, std::uint64_t* length);

// Receives one whole message; a payload beyond maxPayload is refused (kErrorIo)
// without being read.
Status Receive(int fd, Message* message, std::uint64_t maxPayload, Deadline& deadline, const AbortSignal* abort);

}  // namespace merilog::hislip
