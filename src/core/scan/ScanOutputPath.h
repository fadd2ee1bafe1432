#pragma once
#include <QString>

namespace merilog {

// Why the scan's results could not be written to `path`, as a sentence naming
// it; empty when they can. Asked before a run, so that a bad name is refused
// before the meter is: an existing name that is not a regular file (a folder,
// a device, a pipe), a folder that does not exist or takes no new files.
QString ScanOutputProblem(const QString& path);

}  // namespace merilog
