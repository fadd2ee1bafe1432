// merilog-simmeter: one simulated meter served as raw SCPI over TCP, for the
// socket backend, external clients and end-to-end fault tests.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <string>
#include <vector>

#include "core/base/ConfigPaths.h"
#include "sim/SimBench.h"
#include "sim/SimServer.h"

namespace {

merilog::sim::SimServer* g_server = nullptr;

void OnSignal(int) {
  if (g_server) g_server->Stop();
}

void PrintUsage(std::FILE* to = stderr) {
  std::fprintf(to,
               "usage: merilog-simmeter --port P [--model 6081|6082|MR6082|P7710|P7700A|PSU] [--bench FILE "
               "[--resource R]]\n"
               "                        [--transcript FILE] [--bind ADDR] [--fault NAME=N]... [--seed N]\n"
               "                        [--serial S] [--channels 0|10|20]\n"
               "  --port 0 picks a free port; the first line on standard output is \"port: N\".\n"
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

  SimServerOptions options;
  options.bindAddress = bind;
  options.port = static_cast<int>(port);
  if (!transcriptFile.empty()) {
    options.transcript = merilog::TranscriptLog::Open(transcriptFile, &error);
    if (!options.transcript) {
      std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
      return 2;
    }
  }
  SimServer server(meter, options);
  if (!server.Listen(&error)) {
    std::fprintf(stderr, "merilog-simmeter: %s\n", error.c_str());
    return 1;
  }

  g_server = &server;
  struct sigaction sa {};
  sa.sa_handler = OnSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  std::signal(SIGPIPE, SIG_IGN);

  std::printf("port: %d\n", server.Port());
  std::fflush(stdout);
  std::fprintf(stderr, "merilog-simmeter: serving \"%s\" on %s:%d\n", meter->Identification().c_str(), bind.c_str(),
               server.Port());
  const int rc = server.Run();
  g_server = nullptr;
  if (options.transcript && options.transcript->Failed()) {
    std::fprintf(stderr, "merilog-simmeter: %s\n", options.transcript->Error().c_str());
    return rc ? rc : 1;
  }
  return rc;
}
