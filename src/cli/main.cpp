// merilog-cli: the command-line companion. It drives the same core as the
// windows; each subcommand lives in its own file.
#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/BurstCommand.h"
#include "cli/CliHelp.h"
#include "cli/CliLabServer.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/DevicesCommand.h"
#include "cli/IoCommands.h"
#include "cli/LogCommand.h"
#include "cli/RecordsCommand.h"
#include "cli/ScanCommand.h"
#include "cli/SettingsCommand.h"
#include "core/app/IoSetup.h"
#include "core/base/ConfigPaths.h"

namespace {

void PrintUsage(std::FILE* to = stderr) {
  std::fputs(merilog::cli::GeneralHelpText().c_str(), to);
}

// help [COMMAND [WORD]]: the general usage, or one command's; an unknown one is refused.
int RunHelpCommand(QStringList words) {
  if (words.removeAll(QStringLiteral("--help")) > 0) words = QStringList{QStringLiteral("help")};
  if (words.isEmpty()) {
    PrintUsage(stdout);
    return 0;
  }
  const merilog::cli::CliCommandHelp* command = merilog::cli::FindCliCommand(words, true);
  if (!command) {
    std::cerr << "merilog-cli: no command \"" << words.join(' ').toStdString()
              << "\"; merilog-cli --help lists them\n";
    return 2;
  }
  std::fputs(merilog::cli::CommandHelpText(*command).c_str(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  // A file-size limit makes writes fail (and be reported) instead of killing the program.
  std::signal(SIGXFSZ, SIG_IGN);
  QCoreApplication app(argc, argv);
  merilog::cli::CliOptions options;
  QStringList rest;
  std::string error;
  if (!merilog::cli::ParseGlobalOptions(app.arguments().mid(1), &options, &rest, &error)) {
    std::cerr << "merilog-cli: " << error << "\n";
    PrintUsage();
    return 2;
  }
  if (rest.isEmpty()) {
    PrintUsage();
    return 2;
  }
  const QString command = rest.takeFirst();
  if (command == "help" || command == "--help" || command == "-h") return RunHelpCommand(rest);
  // COMMAND --help anywhere among its words: nothing else is done.
  if (rest.contains(QStringLiteral("--help"))) {
    const merilog::cli::CliCommandHelp* help = merilog::cli::FindCliCommand(QStringList{command} + rest);
    if (help) {
      std::fputs(merilog::cli::CommandHelpText(*help).c_str(), stdout);
      return 0;
    }
  }
  if (command == "--version" || command == "version") {
    std::printf("merilog-cli %s\n", merilog::VersionText());
    return 0;
  }
  // Every command has its entry in the help.
  if (!merilog::cli::FindCliCommand({command})) {
    std::cerr << "merilog-cli: unknown command \"" << command.toStdString() << "\"; merilog-cli --help lists them\n";
    return 2;
  }
  merilog::ResolveConfigurationFile(options.io);
  if (command == "io") return merilog::cli::RunIoCommand(options, rest);
  if (command == "find") return merilog::cli::RunFindCommand(options, rest);
  if (command == "query") return merilog::cli::RunQueryCommand(options, rest);
  if (command == "records" && merilog::cli::IsServerRecordsCommand(rest))
    return merilog::cli::RunServerRecordsCommand(options, rest);
  if (command == "records") return merilog::cli::RunRecordsCommand(rest);
  if (command == "sync") return merilog::cli::RunSyncCommand(options, rest);
  if (command == "log") return merilog::cli::RunLogCommand(options, rest);
  if (command == "burst") return merilog::cli::RunBurstCommand(options, rest);
  if (command == "console") return merilog::cli::RunConsoleCommand(options, rest);
  if (command == "settings") return merilog::cli::RunSettingsCommand(options, rest);
  if (command == "scan") return merilog::cli::RunScanCommand(options, rest);
  // An unknown command was turned away above; this guards a command named in the help and handled nowhere.
  if (command != "devices") {
    std::cerr << "merilog-cli: unknown command \"" << command.toStdString() << "\"; merilog-cli --help lists them\n";
    return 2;
  }
  const bool lan = rest.removeAll("--lan") > 0;
  if (!rest.isEmpty()) {
    std::cerr << "merilog-cli: devices takes no arguments but --lan\n";
    merilog::cli::PrintUsageLine("devices");
    return 2;
  }
  std::string why;
  merilog::Instruments instruments;
  if (!merilog::SetUpInstruments(options.io, &instruments, &why)) {
    std::cerr << "merilog-cli: " << why << "\n";
    return 1;
  }
  return merilog::cli::WithTranscriptChecked(instruments, merilog::cli::RunDevicesCommand(instruments, lan));
}
