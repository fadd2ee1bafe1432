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
// DCI or ACI channel. With --channel, the channels not named are set to None;
// without, the card's own set-up is scanned. The progress is printed as it
// changes, then the grid. Every message the dialog would show goes to standard
// error. Exit 0 when the scan ran (Ctrl-C ends a PerScan run and keeps what it
// has), 1 when an input is refused or a file cannot be written, 2 for a usage
// error or a meter that stopped answering.
int RunScanCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
