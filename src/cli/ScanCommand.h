#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

// A channel scan without windows, over the scan dialog's model. K is the line
// of the scan dialog's device list (1 first). With --channel, the channels not
// named are set to None; without, the card's own set-up is scanned. Every
// option is checked before a meter is searched; every message the dialog would
// show goes to standard error. The options and exit statuses are in CliHelp.cpp.
int RunScanCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
