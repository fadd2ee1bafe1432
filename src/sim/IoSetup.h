#pragma once
#include <memory>
#include <string>
#include <vector>

#include "core/instrument/ResourceManager.h"

namespace merilog {

// How the programs reach instruments, from their command lines.
struct IoOptions {
  bool simulate = false;
  std::string benchFile;                  // empty: the default simulated bench
  std::vector<std::string> lanResources;  // TCPIP0::host::port::SOCKET
  std::string transcriptFile;             // empty: no transcript
};

// The simulated bench (when asked for) first, then the hardware backends.
// Null with a message when the bench file cannot be used.
std::unique_ptr<ResourceManager> MakeResourceManager(const IoOptions& options, std::string* error);

}  // namespace merilog
