#pragma once
#include <QStringList>

namespace merilog::cli {

// merilog-cli records [viewer|chart|burst|settings]: prints the records of the
// working folder (derived from the current directory) one label per line, as
// that dialog's list shows them. args are the words after "records"; the
// operations on one record (stats, search, export, delete, chart) go to
// RunRecordOperation. Returns 0, 1 when the folder cannot be entered, 2 on a
// usage error.
int RunRecordsCommand(const QStringList& args);

}  // namespace merilog::cli
