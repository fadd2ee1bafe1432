// A simulated meter served on loopback by our VXI-11 server (with a portmapper
// of its own) or HiSLIP server, on a thread of its own, for our clients.
#pragma once
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "sim/HislipServer.h"
#include "sim/SimBench.h"
#include "sim/Vxi11Server.h"

namespace merilog::test {

class LoopbackMeter {
 public:
  enum class Protocol { Vxi11, Hislip };

  // The description's resource is set here; prepare, when given, changes the
  // meter before the server starts (faults of single commands).
  LoopbackMeter(Protocol protocol, sim::SimMeterDescription desc = {},
                const std::function<void(sim::SimMeter&)>& prepare = {}) {
    const bool vxi11 = protocol == Protocol::Vxi11;
    desc.resource = vxi11 ? "TCPIP0::127.0.0.1::inst0::INSTR" : "TCPIP0::127.0.0.1::hislip0::INSTR";
    bench.Add(desc);
    meter = bench.SharedMeter(desc.resource);
    if (prepare) prepare(*meter);
    std::string error;
    if (vxi11) {
      sim::Vxi11ServerOptions options;
      options.portmapperPort = 0;
      auto server = std::make_shared<sim::Vxi11Server>(meter, options);
      EXPECT_TRUE(server->Listen(&error)) << error;
      Serve(server);
      port = server->Port();
      portmapperPort = server->PortmapperPort();
      resource = desc.resource;
    } else {
      auto server = std::make_shared<sim::HislipServer>(meter, sim::HislipServerOptions{});
      EXPECT_TRUE(server->Listen(&error)) << error;
      Serve(server);
      port = server->Port();
      resource = "TCPIP0::127.0.0.1::hislip0," + std::to_string(port) + "::INSTR";
    }
  }
  static sim::SimMeterDescription WithFaults(sim::SimFaults faults) {
    sim::SimMeterDescription desc;
    desc.faults = faults;
    return desc;
  }
  ~LoopbackMeter() {
    stop_();
    thread_.join();
  }
  LoopbackMeter(const LoopbackMeter&) = delete;
  LoopbackMeter& operator=(const LoopbackMeter&) = delete;

  sim::SimBench bench;
  std::shared_ptr<sim::SimMeter> meter;
  std::string resource;    // what our clients open
  int port = 0;            // the VXI-11 core channel, or HiSLIP
  int portmapperPort = 0;  // VXI-11

 private:
  template <class Server>
  void Serve(std::shared_ptr<Server> server) {
    stop_ = [server] { server->Stop(); };
    thread_ = std::thread([server] { server->Run(); });
  }
  std::function<void()> stop_;
  std::thread thread_;
};

}  // namespace merilog::test
