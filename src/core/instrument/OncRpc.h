#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/instrument/LanSocket.h"

namespace merilog::rpc {

// ONC RPC version 2 (RFC 5531) messages, record marking on TCP, and the
// portmapper's GETPORT (RFC 1833, version 2): what VXI-11 travels on. Headers
// are four-byte big-endian words, written here; call arguments and results
// are encoded by the rpcgen routines.

constexpr std::uint32_t kPortmapProgram = 100000;
constexpr std::uint32_t kPortmapVersion = 2;
constexpr std::uint32_t kPortmapProcNull = 0;
constexpr std::uint32_t kPortmapProcSet = 1;
constexpr std::uint32_t kPortmapProcUnset = 2;
constexpr std::uint32_t kPortmapProcGetPort = 3;
constexpr std::uint32_t kPortmapPort = 111;
constexpr std::uint32_t kProtocolTcp = 6;
constexpr std::uint32_t kProtocolUdp = 17;

// Accept states of a reply (0 success); kDenied stands for a rejected message.
enum AcceptStat : std::uint32_t {
  kSuccess = 0,
  kProgUnavail = 1,
  kProgMismatch = 2,
  kProcUnavail = 3,
  kGarbageArgs = 4,
  kSystemErr = 5,
  kDenied = 100,
};

// A call's header (xid, CALL, RPC version 2, program, version, procedure, two
// empty auths) and the record mark before each fragment on TCP.
constexpr std::size_t kCallHeaderBytes = 40;
constexpr std::size_t kRecordMarkBytes = 4;

// No record of ours or of an instrument's comes near this; a longer one is refused.
constexpr std::size_t kMaxRecord = 64u << 20;

void PutWord(std::string* out, std::uint32_t v);
std::uint32_t GetWord(std::string_view in, std::size_t at);  // at + 4 <= size checked by the caller

std::string EncodeCall(std::uint32_t xid, std::uint32_t program, std::uint32_t version, std::uint32_t procedure,
                       std::string_view args);
// EncodeCall framed as one last fragment, appended to out: several calls go out in one send.
void AppendFramedCall(std::string* out, std::uint32_t xid, std::uint32_t program, std::uint32_t version,
                      std::uint32_t procedure, std::string_view args);
std::string EncodeReply(std::uint32_t xid, AcceptStat stat, std::string_view results);

struct Call {
  std::uint32_t xid = 0, program = 0, version = 0, procedure = 0;
  std::string_view args;
};
struct Reply {
  std::uint32_t xid = 0;
  AcceptStat stat = kSuccess;
  std::string_view results;
};
// Empty for a message that is not a well-formed call or reply.
std::optional<Call> DecodeCall(std::string_view message);
std::optional<Reply> DecodeReply(std::string_view message);

// A message as one last fragment of a TCP record.
std::string Frame(std::string_view message);

// Reads one whole record (all its fragments) from a blocking-by-deadline socket.
Status ReceiveRecord(int fd, std::string* record, Deadline& deadline, const AbortSignal* abort);

// Splits a byte stream into records, for a server's non-blocking sockets.
class RecordReader {
 public:
  void Append(const char* data, std::size_t n) { in_.append(data, n); }
  // The next whole record, if one has come; *broken when the stream cannot be
  // a record stream (a record beyond kMaxRecord).
  std::optional<std::string> Next(bool* broken);

 private:
  std::string in_;
  std::string record_;  // fragments gathered so far
};

// The length word of an opaque or string at `at` fits the bytes after it, so
// decoding never allocates what the message cannot hold.
bool LengthFits(std::string_view body, std::size_t at);

// GETPORT's mapping argument and its answer.
std::string EncodeMapping(std::uint32_t program, std::uint32_t version, std::uint32_t protocol, std::uint32_t port);

}  // namespace merilog::rpc
