#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

// A headless reading session over the main window's model:
//   log --record N [--devices K1,K2,...] [--dual] [--count C] [--interval MS] [--yes|--no]
// Every message the window would show goes to standard error; each tick prints
// the value displays of the active meters (on a terminal, a progress line on
// standard error stays below them). Exit 0 after C ticks or at Ctrl-C,
// 1 when the start is refused, 2 when a meter stops answering.
int RunLogCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
