#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "core/instrument/Session.h"

namespace merilog {

// Raw SCPI over a TCP connection: an answer ends at its line feed. Bytes that
// arrive after the line feed belong to the next answer and are kept for it.
class TcpSocketSession final : public Session {
 public:
  // Default read/write time-out, as a VISA session starts with.
  static constexpr int kDefaultTimeoutMs = 2000;

  // Takes ownership of a connected socket in blocking mode; its time-outs are set here.
  TcpSocketSession(int fd, std::string resource);
  ~TcpSocketSession() override;
  TcpSocketSession(const TcpSocketSession&) = delete;
  TcpSocketSession& operator=(const TcpSocketSession&) = delete;

  Status Write(std::string_view bytes) override;
  ReadResult Read(std::size_t maxBytes) override;
  // ms < 0 waits without limit; 0 only takes what has already arrived.
  Status SetTimeout(int ms) override;
  Status Clear() override;
  Status Close() override;
  const std::string& Resource() const override { return resource_; }

  int Timeout() const { return timeoutMs_; }

 private:
  ReadResult Take(std::size_t n, Status status, bool end);
  // Makes room for at least one more received chunk at the tail.
  void ReserveTail();

  int fd_;
  std::string resource_;
  int timeoutMs_ = kDefaultTimeoutMs;
  bool peerClosed_ = false;
  // Received but not yet delivered: in_[head_, tail_). The first scanned_ bytes
  // after head_ are known to hold no line feed, so a slow answer is scanned once.
  std::vector<char> in_;
  std::size_t head_ = 0;
  std::size_t tail_ = 0;
  std::size_t scanned_ = 0;
};

}  // namespace merilog
