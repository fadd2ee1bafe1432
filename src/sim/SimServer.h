#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/TranscriptLog.h"
#include "sim/SimMeter.h"

namespace merilog::sim {

struct SimServerOptions {
  std::string bindAddress = "127.0.0.1";      // IPv4; only loopback unless the user asks otherwise
  int port = 0;                               // 0: a free port chosen by the system
  std::shared_ptr<TranscriptLog> transcript;  // null: none
};

// Serves one simulated meter as raw SCPI over TCP: commands end at a line feed,
// answers end with one. Clients are served side by side by one event loop over
// non-blocking sockets, so a client that sends without reading, or one that
// waits for a late answer, holds up nobody else, and Stop() is noticed at once.
class SimServer {
 public:
  SimServer(std::shared_ptr<SimMeter> meter, SimServerOptions options);
  ~SimServer();
  SimServer(const SimServer&) = delete;
  SimServer& operator=(const SimServer&) = delete;

  // Binds and listens; false with a message when the address or port cannot be had.
  bool Listen(std::string* error);
  int Port() const { return port_; }
  // Serves clients until Stop(); returns 0, or 1 after a fatal socket error.
  int Run();
  // Safe from a signal handler and from another thread.
  void Stop();

 private:
  struct Client;
  void Accept();
  bool Receive(Client& c);
  bool Advance(Client& c);
  bool Flush(Client& c);
  void Drop(std::size_t index);

  std::shared_ptr<SimMeter> meter_;
  SimServerOptions options_;
  std::string name_;  // resource name in the transcript
  int listenFd_ = -1;
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  int port_ = 0;
  std::vector<std::unique_ptr<Client>> clients_;
};

}  // namespace merilog::sim
