#include "core/instrument/HislipMessage.h"

namespace merilog::hislip {

std::string Encode(std::uint8_t type, std::uint8_t control, std::uint32_t parameter, std::string_view payload) {
  std::string m = "HS";
  m.push_back(static_cast<char>(type));
  m.push_back(static_cast<char>(control));
  for (int shift = 24; shift >= 0; shift -= 8) m.push_back(static_cast<char>(parameter >> shift));
  m += SizePayload(payload.size());
  m.append(payload);
  return m;
}

std::string SizePayload(std::uint64_t size) {
  std::string s;
  for (int shift = 56; shift >= 0; shift -= 8) s.push_back(static_cast<char>(size >> shift));
  return s;
}

std::uint64_t SizeOf(std::string_view payload) {
  std::uint64_t v = 0;
  for (std::size_t i = 0; i < 8 && i < payload.size(); ++i) v = (v << 8) | static_cast<unsigned char>(payload[i]);
  return v;
}

std::optional<Message> DecodeHeader(std::string_view bytes, std::uint64_t* length) {
  if (bytes.size() < kHeaderSize || bytes[0] != 'H' || bytes[1] != 'S') return std::nullopt;
  Message m;
  m.type = static_cast<std::uint8_t>(bytes[2]);
  m.control = static_cast<std::uint8_t>(bytes[3]);
  for (int i = 4; i < 8; ++i) m.parameter = (m.parameter << 8) | static_cast<unsigned char>(bytes[i]);
  *length = SizeOf(bytes.substr(8, 8));
  return m;
}

Status Receive(int fd, Message* message, std::uint64_t maxPayload, Deadline& deadline, const AbortSignal* abort) {
  char head[kHeaderSize];
  Status st = ReceiveExactly(fd, head, kHeaderSize, deadline, abort);
  if (!IsSuccess(st)) return st;
  std::uint64_t length = 0;
  auto m = DecodeHeader(std::string_view(head, kHeaderSize), &length);
  if (!m || length > maxPayload) return status::kErrorIo;
  m->payload.resize(length);
  st = ReceiveExactly(fd, m->payload.data(), length, deadline, nullptr);
  if (!IsSuccess(st)) return st;
  *message = std::move(*m);
  return status::kSuccess;
}

}  // namespace merilog::hislip
