#pragma once
#include <QStringList>
#include <memory>
#include <optional>
#include <string>

#include "core/app/IoSetup.h"

namespace merilog::cli {

struct CliOptions {
  IoOptions io;
  std::optional<QString> server;  // --server: the lab server, overriding MERILOG_SERVER and [Server]
};

// Takes the global options from the front of args and leaves the command and its words in rest.
bool ParseGlobalOptions(const QStringList& args, CliOptions* options, QStringList* rest, std::string* error);

}  // namespace merilog::cli
