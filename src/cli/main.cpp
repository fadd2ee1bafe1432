// merilog-cli: the command-line companion. It drives the same core as the
// windows; each subcommand lives in its own file.
#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/BurstCommand.h"
#include "cli/CliLabServer.h"
#include "cli/CliOptions.h"
#include "cli/ConsoleCommand.h"
#include "cli/DevicesCommand.h"
#include "cli/IoCommands.h"
#include "cli/LogCommand.h"
#include "cli/RecordsCommand.h"
#include "cli/ScanCommand.h"
#include "cli/SettingsCommand.h"
#include "core/base/ConfigPaths.h"
#include "core/base/MessageTable.h"

namespace {

void PrintUsage(std::FILE* to = stderr) {
  std::fputs(
      "usage: merilog-cli [--simulate[=BENCH]] [--resource R]... [--transcript FILE] [--server CONNINFO]\n"
      "                   COMMAND [ARGS]\n"
      "commands:\n"
      "  io                          list the I/O backends, whether each is active and why not\n"
      "  find [--lan] PATTERN        print the resources that match a VISA search pattern\n"
      "  query RESOURCE COMMAND...   send each command (a line feed is appended), print answers\n"
      "  devices [--lan]             print the device list as the main window shows it\n"
      "                              (--lan: also search the LAN by broadcast and DNS-SD)\n"
      "  records [viewer|chart|burst|settings]\n"
      "                              list the records of the working folder as that list shows them\n"
      "  records stats|search|export|delete|chart N ...\n"
      "                              the record viewer's and record chart's operations on record N\n"
      "  log --record N [--devices K1,K2,...] [--dual] [--count C] [--interval MS] [--yes|--no]\n"
      "      [--keep-going] [--for DURATION | --until \"yyyy/MM/dd HH:mm:ss\"] [--high V1,...] [--low V1,...]\n"
      "                              take readings into record N (N+1, ... for further meters)\n"
      "  burst --device K --record N --count C [--yes]\n"
      "                              take C readings from meter K into record N as fast as it answers\n"
      "  console [--device K]        send command lines from standard input to meter K, print the answers\n"
      "  settings get|set --device K [--function L [--range L] [--second L] [--transducer 2W|4W]\n"
      "      [--coefficients V1,...] [--second-function L --second-range L --second-choice L]]\n"
      "                              show or set a meter's configuration as Device Settings does\n"
      "  scan [--device K] [--channel C=FUNC[:R[:I]]]... [--timer S] [--count C | --every HH:MM:SS\n"
      "       [--until \"yyyy/MM/dd HH:mm:ss\" | --scans N] | --scans N] [--at \"yyyy/MM/dd HH:mm:ss\"] [--step]\n"
      "       [--xlsx FILE] [--csv FILE]   scan channels of a scanner card, print the results grid\n"
      "  sync                        forward every record of the working folder to the lab server now\n"
      "  records list [--bench NAME] list the records on the lab server\n"
      "  records pull --bench NAME --record-id ID N\n"
      "                              copy a record of the lab server into local record N\n"
      "--server CONNINFO names the lab server (a libpq connection string; \"\" for none), over\n"
      "MERILOG_SERVER and the [Server] section; log and burst forward their readings to it\n"
      "options --help and --version show this text and the version\n",
      to);
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
  // The configuration file is found once and handed to all that read it.
  const QString configFile = merilog::ConfigurationFilePath();
  merilog::UseMessageFile(configFile);
  options.io.configFile = configFile.toStdString();
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
  if (command == "devices") {
    const bool lan = rest.removeAll("--lan") > 0;
    if (!rest.isEmpty()) {
      std::cerr << "merilog-cli: devices takes no arguments but --lan\n";
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
  if (command == "help" || command == "--help" || command == "-h") {
    PrintUsage(stdout);
    return 0;
  }
  if (command == "--version" || command == "version") {
    std::printf("merilog-cli %s\n", merilog::VersionText());
    return 0;
  }
  std::cerr << "merilog-cli: unknown command \"" << command.toStdString() << "\"\n";
  PrintUsage();
  return 2;
}
