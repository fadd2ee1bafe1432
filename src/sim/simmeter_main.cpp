// merilog-simmeter: one simulated meter served over TCP as raw SCPI, VXI-11 or
// HiSLIP, for the LAN backends, external clients and end-to-end fault tests.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "core/base/ConfigPaths.h"
#include "sim/HislipServer.h"
#include "sim/SimBench.h"
#include "sim/SimServer.h"
#include "sim/Vxi11Server.h"

namespace {

merilog::sim::SimServer* g_socketServer = nullptr;
merilog::sim::Vxi11Server* g_vxi11Server = nullptr;
merilog::sim::HislipServer* g_hislipServer = nullptr;

void OnSignal(int) {
  if (g_socketServer) g_socketServer->Stop();
  if (g_vxi11Server) g_vxi11Server->Stop();
  if (g_hislipServer) g_hislipServer->Stop();
}

// Runs a listening server until a signal stops it.
template <class Server>
int Serve(Server& server, Server** global) {
  *global = &server;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);
  const int rc = server.Run();
  *global = nullptr;
  return rc;
}

void PrintUsage(std::FILE* to = stderr) {
  std::fprintf(to,
               "usage: merilog-simmeter --port P [--protocol socket|vxi11|hislip] [--portmapper-port Q] [--rpcbind]\n"
               "                        [--model 6081|6082|MR6082|P7710|P7700A|PSU] [--bench FILE "
               "[--resource R]]\n"
               "                        [--transcript FILE] [--bind ADDR] [--fault NAME=N]... [--seed N]\n"
               "                        [--serial S] [--channels 0|10|20]\n"
               "  --port 0 picks a free port; the first line on standard output is \"port: N\"\n"
               "  (for VXI-11 the core channel's).\n"
               "  --portmapper-port serves a VXI-11 portmapper (GETPORT over TCP and UDP, broadcasts\n"
               "  included) on Q; 0 picks one and prints \"portmapper-port: N\" next.\n"
               "  --rpcbind registers the VXI-11 core channel with the portmapper at 127.0.0.1:111.\n"
               "  --bind defaults to 127.0.0.1; other addresses only when given.\n"
               "  faults: %s\n"
               "  --help shows this text, --version the version.\n",
               merilog::sim::FaultNames());
}

bool ParseInt(const char* text, long min, long max, long* out) {
  char* end = nullptr;
  errno = 0;
  const long v = std::strtol(text, &end, 10);
  if (errno || end == text || *end != '\0' || v < min || v > max) return false;
  *out = v;
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace merilog::sim;
  long port = -1;
  std::string model;
  std::string benchFile;
  std::string resource;
  std::string transcriptFile;
  std::string bind = "127.0.0.1";
  std::string serial;
  long seed = -1;
  long channels = -2;
  std::string protocol = "socket";
  long portmapperPort = -1;
  bool rpcbind = false;
  std::vector<std::string> faultOptions;

  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const auto value = [&]() -> const char* {
      if (i + 1 >= argc) {
        std::fprintf(stderr, "merilog-simmeter: %s needs a value\n", arg.c_str());
        std::exit(2);
      }
      return argv[++i];
    };
    if (arg == "--help" || arg == "-h") {
      PrintUsage(stdout);
      return 0;
    } else if (arg == "--version") {
      std::printf("merilog-simmeter %s\n", merilog::VersionText());
      return 0;
    } else if (arg == "--port") {
      if (!ParseInt(value(), 0, 65535, &port)) {
        std::fprintf(stderr, "merilog-simmeter: --port needs a number from 0 to 65535\n");
        return 2;
      }
    } else if (arg == "--protocol") {
      protocol = value();
      if (protocol != "socket" && protocol != "vxi11" && protocol != "hislip") {
        std::fprintf(stderr, "merilog-simmeter: --protocol needs socket, vxi11 or hislip\n");
        return 2;
      }
    } else if (arg == "--portmapper-port") {
      if (!ParseInt(value(), 0, 65535, &portmapperPort)) {
        std::fprintf(stderr, "merilog-simmeter: --portmapper-port needs a number from 0 to 65535\n");
        return 2;
      }
    } else if (arg == "--rpcbind") {
      rpcbind = true;
    } else if (arg == "--model") {
      model = value();
    } else if (arg == "--bench") {
      benchFile = value();
    } else if (arg == "--resource") {
      resource = value();
    } else if (arg == "--transcript") {
      transcriptFile = value();
    } else if (arg == "--bind") {
      bind = value();
    } else if (arg == "--serial") {
      serial = value();
    } else if (arg == "--seed") {
      if (!ParseInt(value(), 0, 2147483647L, &seed)) {
        std::fprintf(stderr, "merilog-simmeter: --seed needs a whole number from 0\n");
        return 2;
      }
    } else if (arg == "--channels") {
      if (!ParseInt(value(), 0, 20, &channels) || (channels != 0 && channels != 10 && channels != 20)) {
        std::fprintf(stderr, "merilog-simmeter: --channels needs 0, 10 or 20\n");
        return 2;
      }
    } else if (arg == "--fault") {
      // Checked now, applied once the meter is known, over a bench file's own faults.
      SimFaults check;
      std::string error;
      faultOptions.push_back(value());
      if (!ApplyFault(faultOptions.back(), &check, &error)) {
        std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
        return 2;
      }
    } else {
      std::fprintf(stderr, "merilog-simmeter: unknown option \"%s\"\n", arg.c_str());
      PrintUsage();
      return 2;
    }
  }
  if (port < 0) {
    std::fprintf(stderr, "merilog-simmeter: --port is required\n");
    PrintUsage();
    return 2;
  }
  if ((portmapperPort >= 0 || rpcbind) && protocol != "vxi11") {
    std::fprintf(stderr, "merilog-simmeter: --portmapper-port and --rpcbind are for --protocol vxi11\n");
    return 2;
  }
  if (!benchFile.empty() && !model.empty()) {
    std::fprintf(stderr, "merilog-simmeter: give either --model or --bench, not both\n");
    return 2;
  }
  if (!resource.empty() && benchFile.empty()) {
    std::fprintf(stderr, "merilog-simmeter: --resource chooses a meter of a --bench file\n");
    return 2;
  }

  SimMeterDescription desc;
  if (!benchFile.empty()) {
    std::string error;
    auto bench = SimBench::LoadFile(benchFile, &error);
    if (!bench) {
      std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
      return 2;
    }
    const SimMeter* chosen =
        resource.empty() ? (bench->Meters().empty() ? nullptr : bench->Meters().front().get()) : bench->Meter(resource);
    if (!chosen) {
      std::fprintf(stderr, "merilog-simmeter: %s\n",
                   resource.empty() ? "the bench file has no meter"
                                    : ("no meter \"" + resource + "\" in the bench file").c_str());
      return 2;
    }
    desc = chosen->Description();
  } else {
    desc.model = model.empty() ? "6082" : model;
    desc.resource = "TCPIP0::127.0.0.1::5025::SOCKET";
    desc.serial = "SN01";
  }
  if (!serial.empty()) desc.serial = serial;
  if (seed >= 0) desc.seed = static_cast<std::uint64_t>(seed);
  if (channels >= 0) desc.channels = static_cast<int>(channels);
  for (const std::string& fault : faultOptions) ApplyFault(fault, &desc.faults, nullptr);

  // Checks the model and card the same way a bench file does.
  SimBench check;
  SimMeterDescription probe = desc;
  std::string error;
  if (!check.Add(probe, &error)) {
    std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
    return 2;
  }
  auto meter = check.SharedMeter(desc.resource);

  std::shared_ptr<merilog::TranscriptLog> transcript;
  if (!transcriptFile.empty()) {
    transcript = merilog::TranscriptLog::Open(transcriptFile, &error);
    if (!transcript) {
      std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
      return 2;
    }
  }
  const auto started = [&](int port, const char* what) {
    std::fprintf(stderr, "merilog-simmeter: serving \"%s\" over %s on %s:%d\n", meter->Identification().c_str(), what,
                 bind.c_str(), port);
  };
  int rc = 0;
  if (protocol == "vxi11") {
    Vxi11ServerOptions options;
    options.bindAddress = bind;
    options.port = static_cast<int>(port);
    options.portmapperPort = static_cast<int>(portmapperPort);
    options.registerRpcbind = rpcbind;
    options.transcript = transcript;
    Vxi11Server server(meter, options);
    if (!server.Listen(&error)) {
      std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
      return 1;
    }
    std::printf("port: %d\n", server.Port());
    if (portmapperPort >= 0) std::printf("portmapper-port: %d\n", server.PortmapperPort());
    std::fflush(stdout);
    started(server.Port(), "VXI-11");
    rc = Serve(server, &g_vxi11Server);
  } else if (protocol == "hislip") {
    HislipServerOptions options;
    options.bindAddress = bind;
    options.port = static_cast<int>(port);
    options.transcript = transcript;
    HislipServer server(meter, options);
    if (!server.Listen(&error)) {
      std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
      return 1;
    }
    std::printf("port: %d\n", server.Port());
    std::fflush(stdout);
    started(server.Port(), "HiSLIP");
    rc = Serve(server, &g_hislipServer);
  } else {
    SimServerOptions options;
    options.bindAddress = bind;
    options.port = static_cast<int>(port);
    options.transcript = transcript;
    SimServer server(meter, options);
    if (!server.Listen(&error)) {
      std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
      return 1;
    }
    std::printf("port: %d\n", server.Port());
    std::fflush(stdout);
    started(server.Port(), "raw SCPI");
    rc = Serve(server, &g_socketServer);
  }
  if (transcript && transcript->Failed()) {
    std::fprintf(stderr, "merilog-simmeter: %s\n", transcript->Error().c_str());
    return rc ? rc : 1;
  }
  return rc;
}
