#pragma once
#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/instrument/OncRpc.h"
#include "core/instrument/TranscriptLog.h"
#include "sim/SimMeter.h"
#include "sim/SimNet.h"

namespace merilog::sim {

struct Vxi11ServerOptions {
  std::string bindAddress = "127.0.0.1";
  int port = 0;                  // the core channel; 0 picks one
  int portmapperPort = -1;       // our own portmapper on TCP and UDP; -1 none, 0 picks one
  bool registerRpcbind = false;  // register the core channel with the portmapper at 127.0.0.1:111
  std::shared_ptr<TranscriptLog> transcript;
};

// Serves one simulated meter over VXI-11: the core channel (create_link,
// device_write, device_read, device_clear, destroy_link, ...), the abort
// channel, and, when asked, a portmapper answering GETPORT over TCP and UDP,
// broadcasts included. One poll loop over non-blocking sockets, as the raw
// socket server: a late answer holds up only its own link.
class Vxi11Server {
 public:
  static constexpr std::uint32_t kMaxRecvSize = 4096;

  Vxi11Server(std::shared_ptr<SimMeter> meter, Vxi11ServerOptions options);
  ~Vxi11Server();
  Vxi11Server(const Vxi11Server&) = delete;
  Vxi11Server& operator=(const Vxi11Server&) = delete;

  bool Listen(std::string* error);
  int Port() const { return corePort_; }
  int AbortPort() const { return abortPort_; }
  int PortmapperPort() const { return pmapPort_; }
  int Run();
  void Stop() { wake_.Wake(); }

 private:
  using Clock = std::chrono::steady_clock;
  enum class Channel { Core, Abort, Portmap };
  struct PendingRead {
    std::uint32_t xid = 0;
    std::uint32_t requestSize = 0;
    std::int32_t flags = 0;
    char termChar = 0;
    Clock::time_point giveUpAt;
  };
  struct Conn {
    int fd = -1;
    Channel channel = Channel::Core;
    rpc::RecordReader reader;
    std::string out;
    std::size_t sent = 0;
    std::vector<std::int32_t> links;       // created on this connection
    std::optional<PendingRead> read;       // a device_read waiting for its answer
    std::optional<std::int32_t> readLink;  // the link of that read
    bool closing = false;
  };
  struct Link {
    std::string message;  // written without END so far
    std::string answer;   // to be read
    Clock::time_point readyAt;
    Conn* conn = nullptr;
    int answers = 0;
  };

  void Accept(int listenFd, Channel channel);
  bool Receive(Conn& c);
  bool Serve(Conn& c);
  std::string Dispatch(Conn& c, const rpc::Call& call, bool* deferred);
  std::string Core(Conn& c, const rpc::Call& call, bool* deferred);
  std::string Portmap(const rpc::Call& call);
  std::string AbortCall(const rpc::Call& call);
  // Answers the waiting read of c when it can (or its time is up); true if answered.
  bool AdvanceRead(Conn& c);
  void ServeUdp(int fd);
  void Drop(std::size_t index);
  bool RpcbindSet(bool set);

  std::shared_ptr<SimMeter> meter_;
  Vxi11ServerOptions options_;
  std::string name_;
  WakePipe wake_;
  int coreFd_ = -1, abortFd_ = -1, pmapTcpFd_ = -1, pmapUdpFd_ = -1, broadcastFd_ = -1;
  int corePort_ = 0, abortPort_ = 0, pmapPort_ = 0;
  bool registered_ = false;
  std::int32_t nextLink_ = 1;
  std::map<std::int32_t, Link> links_;
  std::vector<std::unique_ptr<Conn>> conns_;
};

}  // namespace merilog::sim
