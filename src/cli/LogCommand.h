#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

// A headless reading session over the main window's model:
//   log --record N [--devices K1,K2,...] [--dual] [--count C] [--interval MS] [--yes|--no]
//       [--keep-going] [--for DURATION | --until "yyyy/MM/dd HH:mm:ss"] [--high V1,...] [--low V1,...]
// Every message the window would show goes to standard error, and so does the
// run log (a meter lost or back, a limit crossed or returned to, the planned
// stop, and at the end each meter's gaps and readings outside its limits); each
// tick prints the value displays of the active meters (on a terminal, a
// progress line on standard error stays below them). Exit 0 after C ticks, at
// the planned stop or at Ctrl-C, 1 when the start is refused, 2 when a meter
// stops answering (without --keep-going), 3 when a record refused readings.
int RunLogCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
