#pragma once
#include <QStringList>

#include "cli/CliOptions.h"

namespace merilog::cli {

int RunIoCommand(const CliOptions& options, const QStringList& args);
int RunFindCommand(const CliOptions& options, const QStringList& args);
int RunQueryCommand(const CliOptions& options, const QStringList& args);

// A command's exit status once its transcript has been judged: a transcript
// that could not be written is said on standard error and fails the command.
int WithTranscriptChecked(const Instruments& instruments, int exitCode);

}  // namespace merilog::cli
