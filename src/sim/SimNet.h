#pragma once
#include <cstdint>
#include <string>

namespace merilog::sim {

// Socket plumbing the simulated meters' servers share.

// A non-blocking TCP socket listening on address:port (IPv4; port 0 picks one);
// -1 with a message. *boundPort gets the port.
int ListenTcp(const std::string& address, int port, int* boundPort, std::string* error);
// A non-blocking UDP socket bound to address:port, SO_REUSEADDR so the servers
// of several meters share a broadcast port; -1 with a message.
int BindUdp(const std::string& address, int port, std::string* error);
// The broadcast address of the interface that holds address, empty if none.
std::string BroadcastAddressOf(const std::string& address);
// Sends what the non-blocking socket takes of out from *sent on; false when the peer is gone.
bool FlushSome(int fd, const std::string& out, std::size_t* sent);

// A pipe whose write end wakes a poll loop from a signal handler or another thread.
class WakePipe {
 public:
  WakePipe();
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;
  bool Ok() const { return read_ >= 0; }
  int ReadFd() const { return read_; }
  void Wake();  // async-signal-safe

 private:
  int read_ = -1;
  int write_ = -1;
};

}  // namespace merilog::sim
