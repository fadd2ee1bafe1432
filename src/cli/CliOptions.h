#pragma once
#include <QStringList>
#include <memory>
#include <string>

#include "core/app/IoSetup.h"

namespace merilog::cli {

struct CliOptions {
  IoOptions io;
};

// Takes the global options from the front of args and leaves the command and its words in rest.
bool ParseGlobalOptions(const QStringList& args, CliOptions* options, QStringList* rest, std::string* error);

}  // namespace merilog::cli
