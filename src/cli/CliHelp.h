#pragma once
#include <QStringList>
#include <cstdio>
#include <span>
#include <string>

namespace merilog::cli {

// What merilog-cli says about itself: one entry per command, read by the
// general --help, by each command's --help and "help COMMAND", and by the
// usage line a command prints when its arguments are wrong.
struct CliOptionHelp {
  const char* option;  // with its argument: "--record N"
  const char* text;
};

struct CliExitHelp {
  int status;
  const char* text;
};

struct CliCommandHelp {
  const char* name;      // "burst", "records stats"
  const char* synopsis;  // the words after "merilog-cli"
  const char* summary;   // one line for the general --help
  const char* description;
  std::span<const CliOptionHelp> options;
  std::span<const CliExitHelp> exits;
  const char* alsoWords = "";  // further words naming this entry: "settings get"
};

// The entry a command line names: "records stats ..." the operation's own,
// "burst --device 1 ..." burst's; nothing for an unknown command. With
// `exact`, every word must name it ("help records bogus" names nothing).
const CliCommandHelp* FindCliCommand(const QStringList& words, bool exact = false);

std::string GeneralHelpText();
std::string CommandHelpText(const CliCommandHelp& command);

// "usage: merilog-cli burst --device K ..." and where to read more, for a
// command whose arguments were refused.
void PrintUsageLine(const char* name, std::FILE* to = stderr);

}  // namespace merilog::cli
