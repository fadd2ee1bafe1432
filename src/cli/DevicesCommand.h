#pragma once
#include "core/app/IoSetup.h"

namespace merilog::cli {

// Runs the main window's discovery (with the LAN search when searchLan) and
// prints its device list, one line per meter. Returns 0 when meters were
// found; else prints the no-meter line and returns 1.
int RunDevicesCommand(Instruments& instruments, bool searchLan = false);

}  // namespace merilog::cli
