#pragma once
#include <QStringList>
#include <memory>

#include "cli/CliOptions.h"
#include "core/labserver/LabServerMonitor.h"

namespace merilog {
class Prompter;
}

namespace merilog::cli {

// The lab server of a run from the command line: forwarding in the background
// while the run goes on (when a server is set), and a last pass at the end.
class CliLabServer {
 public:
  CliLabServer(const CliOptions& options, Prompter& prompter);
  // After the run: one more pass (bounded), then one line on standard error
  // saying whether every reading reached the server. The exit code stays the run's.
  void Finish();

 private:
  std::unique_ptr<LabServerMonitor> monitor_;
};

// merilog-cli sync: forwards every record of the working folder now.
int RunSyncCommand(const CliOptions& options, const QStringList& args);
// merilog-cli records list|pull ...: the lab server's records.
bool IsServerRecordsCommand(const QStringList& args);
int RunServerRecordsCommand(const CliOptions& options, const QStringList& args);

}  // namespace merilog::cli
