#include "core/instrument/OncRpc.h"

namespace merilog::rpc {
namespace {

constexpr std::uint32_t kCall = 0;
constexpr std::uint32_t kReply = 1;
constexpr std::uint32_t kLastFragment = 0x80000000u;
constexpr std::uint32_t kMaxAuthBody = 400;  // RFC 5531

void PutCall(std::string* out, std::uint32_t xid, std::uint32_t program, std::uint32_t version, std::uint32_t procedure,
             std::string_view args) {
  for (std::uint32_t w : {xid, kCall, 2u, program, version, procedure, 0u, 0u, 0u, 0u}) PutWord(out, w);
  out->append(args);
}

// Skips an opaque_auth (flavor, length, body padded to four bytes); false when it does not fit.
bool SkipAuth(std::string_view m, std::size_t* at) {
  if (*at + 8 > m.size()) return false;
  const std::uint32_t len = GetWord(m, *at + 4);
  if (len > kMaxAuthBody) return false;
  const std::size_t padded = (len + 3u) & ~std::size_t{3};
  if (*at + 8 + padded > m.size()) return false;
  *at += 8 + padded;
  return true;
}

}  // namespace

void PutWord(std::string* out, std::uint32_t v) {
  const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                     static_cast<char>(v)};
  out->append(b, 4);
}

std::uint32_t GetWord(std::string_view in, std::size_t at) {
  const auto* p = reinterpret_cast<const unsigned char*>(in.data() + at);
  return (std::uint32_t{p[0]} << 24) | (std::uint32_t{p[1]} << 16) | (std::uint32_t{p[2]} << 8) | p[3];
}

std::string EncodeCall(std::uint32_t xid, std::uint32_t program, std::uint32_t version, std::uint32_t procedure,
                       std::string_view args) {
  std::string m;
  m.reserve(kCallHeaderBytes + args.size());
  PutCall(&m, xid, program, version, procedure, args);
  return m;
}

void AppendFramedCall(std::string* out, std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                      std::uint32_t procedure, std::string_view args) {
  PutWord(out, kLastFragment | static_cast<std::uint32_t>(kCallHeaderBytes + args.size()));
  PutCall(out, xid, program, version, procedure, args);
}

std::string EncodeReply(std::uint32_t xid, AcceptStat stat, std::string_view results) {
  std::string m;
  for (std::uint32_t w : {xid, kReply, 0u, 0u, 0u, static_cast<std::uint32_t>(stat)}) PutWord(&m, w);
  if (stat == kProgMismatch) {
    PutWord(&m, 1);  // lowest and highest version served: the only one
    PutWord(&m, 1);
  }
  m.append(results);
  return m;
}

std::optional<Call> DecodeCall(std::string_view m) {
  if (m.size() < 24 || GetWord(m, 4) != kCall || GetWord(m, 8) != 2) return std::nullopt;
  Call c;
  c.xid = GetWord(m, 0);
  c.program = GetWord(m, 12);
  c.version = GetWord(m, 16);
  c.procedure = GetWord(m, 20);
  std::size_t at = 24;
  if (!SkipAuth(m, &at) || !SkipAuth(m, &at)) return std::nullopt;
  c.args = m.substr(at);
  return c;
}

std::optional<Reply> DecodeReply(std::string_view m) {
  if (m.size() < 12 || GetWord(m, 4) != kReply) return std::nullopt;
  Reply r;
  r.xid = GetWord(m, 0);
  if (GetWord(m, 8) != 0) {
    r.stat = kDenied;
    return r;
  }
  std::size_t at = 12;
  if (!SkipAuth(m, &at) || at + 4 > m.size()) return std::nullopt;
  const std::uint32_t stat = GetWord(m, at);
  if (stat > kSystemErr) return std::nullopt;
  r.stat = static_cast<AcceptStat>(stat);
  r.results = m.substr(at + 4);
  return r;
}

std::string Frame(std::string_view message) {
  std::string out;
  out.reserve(4 + message.size());
  PutWord(&out, kLastFragment | static_cast<std::uint32_t>(message.size()));
  out.append(message);
  return out;
}

Status ReceiveRecord(int fd, std::string* record, Deadline& deadline, const AbortSignal* abort) {
  record->clear();
  for (;;) {
    char head[4];
    // Only the wait for a record's start can be aborted (see ReceiveExactly).
    Status st = ReceiveExactly(fd, head, 4, deadline, record->empty() ? abort : nullptr);
    if (!IsSuccess(st)) return st;
    const std::uint32_t word = GetWord(std::string_view(head, 4), 0);
    const std::size_t len = word & ~kLastFragment;
    if (record->size() + len > kMaxRecord) return status::kErrorIo;
    const std::size_t at = record->size();
    record->resize(at + len);
    st = ReceiveExactly(fd, record->data() + at, len, deadline, nullptr);
    if (!IsSuccess(st)) return st;
    if (word & kLastFragment) return status::kSuccess;
  }
}

std::optional<std::string> RecordReader::Next(bool* broken) {
  *broken = false;
  std::size_t at = 0;
  std::optional<std::string> done;
  while (!done && in_.size() - at >= 4) {
    const std::uint32_t word = GetWord(in_, at);
    const std::size_t len = word & ~kLastFragment;
    if (record_.size() + len > kMaxRecord) {
      *broken = true;
      break;
    }
    if (in_.size() - at - 4 < len) break;
    record_.append(in_, at + 4, len);
    at += 4 + len;
    if (word & kLastFragment) {
      done = std::move(record_);
      record_.clear();
    }
  }
  in_.erase(0, at);
  return done;
}

bool LengthFits(std::string_view body, std::size_t at) {
  return at + 4 <= body.size() && GetWord(body, at) <= body.size() - at - 4;
}

std::string EncodeMapping(std::uint32_t program, std::uint32_t version, std::uint32_t protocol, std::uint32_t port) {
  std::string m;
  for (std::uint32_t w : {program, version, protocol, port}) PutWord(&m, w);
  return m;
}

}  // namespace merilog::rpc
