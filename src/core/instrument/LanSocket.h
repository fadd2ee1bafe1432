#pragma once
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "core/instrument/Session.h"
#include "core/instrument/Status.h"

namespace merilog {

// The time-out of one operation, started when the operation first waits.
class Deadline {
 public:
  explicit Deadline(int timeoutMs) : timeoutMs_(timeoutMs) {}
  void Start();
  // Milliseconds to hand to poll(): -1 waits without limit, 0 means time is up.
  int Remaining();

 private:
  int timeoutMs_;
  bool started_ = false;
  std::chrono::steady_clock::time_point end_;
};

// Wakes a session's blocked wait from another thread (Stop, closing the window):
// an eventfd polled beside the socket. Raised stays raised until the session
// resets it on taking the abort, so a raise just before a wait is not lost.
class AbortSignal {
 public:
  AbortSignal();
  ~AbortSignal();
  AbortSignal(const AbortSignal&) = delete;
  AbortSignal& operator=(const AbortSignal&) = delete;
  void Raise();  // any thread
  void Reset();  // the session's thread, once the abort has been acted on
  int Fd() const { return fd_; }

 private:
  int fd_;
};

// Connects to host:port within timeoutMs (one time-out however many addresses
// the name has); a blocking socket with TCP_NODELAY, or -1 with *status set:
// kErrorResourceNotFound when nothing accepts, kErrorTimeout when not in time.
int ConnectTcp(const std::string& host, std::uint16_t port, int timeoutMs, Status* status);

// Waits until fd is ready for events or the deadline passes (false), or the
// abort signal is raised (false, *aborted set). Errors count as ready, so the
// next call on the socket reports them.
bool WaitReady(int fd, short events, Deadline& deadline, const AbortSignal* abort = nullptr, bool* aborted = nullptr);

// Status of a failed send or recv.
Status StatusFromErrno(int err);

// Blocking helpers over a non-blocking socket for the LAN protocols' framed
// messages: all of the bytes, or a status (time-out, abort, lost connection).
// kErrorAbort is returned when the signal was raised before any byte came.
Status SendAll(int fd, std::string_view bytes, Deadline& deadline, const AbortSignal* abort);
Status ReceiveExactly(int fd, char* into, std::size_t n, Deadline& deadline, const AbortSignal* abort);

// The part of a LAN answer beyond what the caller's count took, kept for the next Read.
class AnswerRemainder {
 public:
  // What was kept, to start a read with; *end says whether it ends the answer.
  std::string Take(bool* end);
  // The read's result: at most maxBytes, the rest kept.
  ReadResult Finish(std::string bytes, bool end, std::size_t maxBytes);
  void Clear() { rest_.clear(); }
  bool Empty() const { return rest_.empty(); }

 private:
  std::string rest_;
  bool restEnd_ = false;
};

}  // namespace merilog
