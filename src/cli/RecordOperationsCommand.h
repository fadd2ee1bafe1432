#pragma once
#include <QStringList>

namespace merilog::cli {

// merilog-cli records stats|search|export|delete|chart N ...: what the record
// viewer and the record chart do with record N of the working folder, through
// the same models, with their messages on standard error:
//   stats N                         the viewer's figures (and the 2ND figures when present)
//   search N --hi X --lo Y          the band search: the rows found, then the figures
//   export N FILE                   the viewer's CSV, written to FILE as named
//   delete N [--yes]                deletes both files of N (without --yes the question is answered No)
//   chart N --png FILE [--from A --to B] [--second] [--scale I] [--colour RRGGBB]
//                                   the chart's picture (584 x 337) of all readings or A to B
// Record N is the first entry of number N in that dialog's list.
// Returns 0 on success, 1 on a refused input, a missing record or a failed
// file, 2 on a usage error.
bool IsRecordOperation(const QStringList& args);
int RunRecordOperation(const QStringList& args);
void PrintRecordOperationsUsage();

}  // namespace merilog::cli
