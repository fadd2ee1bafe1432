#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

// A channel scan without windows, over the scan dialog's model:
//   scan [--device K] [--channel C=FUNC[:R[:I]]]... [--timer S]
//        [--count C | --every HH:MM:SS [--until "yyyy/MM/dd HH:mm:ss" | --scans N] | --scans N]
//        [--at "yyyy/MM/dd HH:mm:ss"] [--step] [--xlsx FILE] [--csv FILE]
// K is the line of the scan dialog's device list (1 first). FUNC is one of the
// function selector's labels; R and I are the shunt resistance and offset of a
// DCI or ACI channel (R is required). With --channel, the channels not named
// are set to None; without, the card's own set-up is scanned. Every option is
// checked before a meter is searched. The progress is printed as it changes,
// then the grid. Every message the dialog would show goes to standard error.
// Exit 0 when the scan ran, 1 when an input or option is refused or a file
// cannot be written, 2 when the meter or card stopped answering or counting or
// returned fewer readings than it counted, 130 when Ctrl-C ended the run (a
// PerScan run or a wait for --at stops after the scan in progress and keeps
// what it has; a second Ctrl-C, or the first in a counted run, ends at once).
int RunScanCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
