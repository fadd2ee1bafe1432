#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

int RunIoCommand(const CliOptions& options, const QStringList& args);
int RunFindCommand(const CliOptions& options, const QStringList& args);
int RunQueryCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
