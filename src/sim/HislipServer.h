#pragma once
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/instrument/HislipMessage.h"
#include "core/instrument/TranscriptLog.h"
#include "sim/SimMeter.h"
#include "sim/SimNet.h"

namespace merilog::sim {

struct HislipServerOptions {
  std::string bindAddress = "127.0.0.1";
  int port = 0;  // 0 picks one (4880 is HiSLIP's own)
  std::shared_ptr<TranscriptLog> transcript;
};

// Serves one simulated meter over HiSLIP in synchronous mode: Initialize and
// AsyncInitialize pair a session's two channels, AsyncMaxMsgSize, Data and
// DataEnd carry messages and answers, AsyncDeviceClear with
// DeviceClearComplete clears. Misuse gets the FatalError or Error it calls for.
class HislipServer {
 public:
  static constexpr std::uint64_t kMaxMessage = 1u << 20;

  HislipServer(std::shared_ptr<SimMeter> meter, HislipServerOptions options);
  ~HislipServer();
  HislipServer(const HislipServer&) = delete;
  HislipServer& operator=(const HislipServer&) = delete;

  bool Listen(std::string* error);
  int Port() const { return port_; }
  int Run();
  void Stop() { wake_.Wake(); }

 private:
  using Clock = std::chrono::steady_clock;
  struct Conn {
    int fd = -1;
    std::string in;
    std::string out;
    std::size_t sent = 0;
    int session = -1;  // the session this channel belongs to
    bool async = false;
    bool closing = false;
  };
  struct SessionState {
    Conn* sync = nullptr;
    Conn* async = nullptr;
    std::uint64_t clientMax = kMaxMessage;
    std::string message;                // Data received so far
    std::optional<std::string> answer;  // waiting for its time
    std::uint32_t answerId = 0;
    Clock::time_point readyAt;
    int answers = 0;
  };

  void Accept();
  bool Receive(Conn& c);
  bool Handle(Conn& c, const hislip::Message& m);
  void Fatal(Conn& c, std::uint8_t code, const std::string& text);
  void Answer(SessionState& s);
  void Drop(std::size_t index);
  SessionState* SessionOf(const Conn& c);

  std::shared_ptr<SimMeter> meter_;
  HislipServerOptions options_;
  std::string name_;
  WakePipe wake_;
  int listenFd_ = -1;
  int port_ = 0;
  std::vector<std::unique_ptr<Conn>> conns_;
  std::vector<SessionState> sessions_;  // by session id
};

}  // namespace merilog::sim
