// merilog-cli: the command-line companion. It drives the same core as the
// windows; each subcommand lives in its own file.
#include <QCoreApplication>
#include <QStringList>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "cli/CliOptions.h"
#include "cli/DevicesCommand.h"
#include "cli/IoCommands.h"
#include "cli/LogCommand.h"
#include "cli/RecordsCommand.h"

namespace {

void PrintUsage() {
  std::fputs(
      "usage: merilog-cli [--simulate[=BENCH]] [--resource R]... [--transcript FILE] COMMAND [ARGS]\n"
      "commands:\n"
      "  io                          list the I/O backends, whether each is active and why not\n"
      "  find PATTERN                print the resources that match a VISA search pattern\n"
      "  query RESOURCE COMMAND...   send each command (a line feed is appended), print answers\n"
      "  devices                     print the device list as the main window shows it\n"
      "  records [viewer|chart|burst|settings]\n"
      "                              list the records of the working folder as that list shows them\n"
      "  log --record N [--devices K1,K2,...] [--dual] [--count C] [--interval MS] [--yes|--no]\n"
      "                              take readings into record N (N+1, ... for further meters)\n",
      stderr);
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
  if (command == "io") return merilog::cli::RunIoCommand(options, rest);
  if (command == "find") return merilog::cli::RunFindCommand(options, rest);
  if (command == "query") return merilog::cli::RunQueryCommand(options, rest);
  if (command == "records") return merilog::cli::RunRecordsCommand(rest);
  if (command == "log") return merilog::cli::RunLogCommand(options, rest);
  if (command == "devices") {
    if (!rest.isEmpty()) {
      std::cerr << "merilog-cli: devices takes no arguments\n";
      return 2;
    }
    std::string why;
    merilog::Instruments instruments;
    if (!merilog::SetUpInstruments(options.io, &instruments, &why)) {
      std::cerr << "merilog-cli: " << why << "\n";
      return 1;
    }
    return merilog::cli::WithTranscriptChecked(instruments, merilog::cli::RunDevicesCommand(instruments));
  }
  if (command == "help" || command == "--help" || command == "-h") {
    PrintUsage();
    return 0;
  }
  std::cerr << "merilog-cli: unknown command \"" << command.toStdString() << "\"\n";
  PrintUsage();
  return 2;
}
