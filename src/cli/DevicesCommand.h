#pragma once
#include <string>
#include <vector>

#include "core/instrument/ResourceManager.h"

namespace merilog::cli {

// Runs the main window's discovery and prints its device list, one line per meter.
// LAN resources: those of the language file's "Instruments" section, then these.
// Returns 0 when meters were found; else prints the no-meter line and returns 1.
int RunDevicesCommand(merilog::ResourceManager& rm, const std::vector<std::string>& lanResources);

}  // namespace merilog::cli
