#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

// The command console without windows:
//   console [--device K]
// Reads command lines from standard input: a line ending in "?" (blanks after
// it aside) is a Query, ":query TEXT" a Query of any text, ":write TEXT" a
// Write, any other line a Write too, ":read" a Read, ":quit" ends. Each answer,
// or the console's failure text, is printed on its own line. On a terminal the
// lines can be edited and the console's history is under the up and down keys.
int RunConsoleCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
