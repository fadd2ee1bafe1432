#pragma once
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "core/instrument/Status.h"

namespace merilog {

class AbortSignal;

struct ReadResult {
  Status status = status::kSuccess;
  std::string bytes;
  // True once the instrument's end of message has been seen (line feed, END, EOM).
  // False with kSuccessMaxCount when the caller's count stopped the read early.
  bool end = false;
};

// One open connection to one instrument. Implementations never block past the
// time-out and never retry without bound.
class Session {
 public:
  virtual ~Session() = default;
  virtual Status Write(std::string_view bytes) = 0;
  // Up to maxBytes of one answer; bytes beyond maxBytes stay for the next Read.
  virtual ReadResult Read(std::size_t maxBytes) = 0;
  virtual Status SetTimeout(int ms) = 0;
  virtual Status Clear() = 0;
  virtual Status Close() = 0;
  // A query: writes the command, then reads up to maxBytes of its answer
  // whatever the write's status (given in *writeStatus). A session may send
  // both at once: VXI-11 pipelines device_write and device_read, saving a
  // network round trip.
  virtual ReadResult WriteThenRead(std::string_view command, std::size_t maxBytes, Status* writeStatus = nullptr) {
    const Status written = Write(command);
    if (writeStatus) *writeStatus = written;
    return Read(maxBytes);
  }
  virtual const std::string& Resource() const = 0;
  // Raised from another thread, this signal cuts a blocked Read or Write short
  // with kErrorAbort, so Stop and closing the window free the session at once.
  // Null for a session that cannot be interrupted (its time-out bounds it).
  virtual std::shared_ptr<AbortSignal> Aborter() { return nullptr; }
};

}  // namespace merilog
