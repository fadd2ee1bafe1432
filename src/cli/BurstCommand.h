#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

// The Multiple Readings dialog's Start without windows:
//   burst --device K --record N --count C [--yes]
// Messages go to standard error; a terminal sees a progress line. At the end
// the readings taken, the seconds and the readings per second are printed.
// Ctrl-C stops like Stop (the readings taken are kept). Exit 0 after a run
// (whole or stopped), 1 when the start is refused, 2 when the meter stops
// answering, 3 when the record cannot be written.
int RunBurstCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
