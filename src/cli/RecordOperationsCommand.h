#pragma once
#include <QStringList>

namespace merilog::cli {

// merilog-cli records stats|search|export|delete|chart N ...: what the record
// viewer and the record chart do with record N of the working folder, through
// the same models, with their messages on standard error. Record N is the
// first entry of number N in that dialog's list. The usage and exit statuses
// are in CliHelp.cpp.
bool IsRecordOperation(const QStringList& args);
int RunRecordOperation(const QStringList& args);

}  // namespace merilog::cli
