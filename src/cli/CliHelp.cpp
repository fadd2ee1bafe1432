#include "cli/CliHelp.h"

#include <QString>
#include <algorithm>

namespace merilog::cli {

namespace {

// The statuses most commands share.
constexpr CliExitHelp kUsage = {2, "wrong arguments"};

constexpr CliOptionHelp kGlobalOptions[] = {
    {"--simulate[=BENCH]",
     "read the simulated bench (two USB meters, a GPIB meter, a scanner-capable meter and an unsupported "
     "instrument), or the one the file BENCH describes, before the real meters"},
    {"--resource R",
     "also search the LAN meter R: TCPIP0::host::inst0::INSTR (VXI-11), TCPIP0::host::hislip0[,port]::INSTR "
     "(HiSLIP) or TCPIP0::host::port::SOCKET (raw SCPI); may be given more than once"},
    {"--transcript FILE", "write every command and answer, with time stamps, to FILE"},
    {"--server CONNINFO",
     "the lab server, a libpq connection string (\"\" for none), over MERILOG_SERVER and the [Server] section of "
     "the language file; log and burst forward their readings to it"},
    {"--help", "show this text; COMMAND --help or help COMMAND shows the usage of one command"},
    {"--version", "show the version"},
};

constexpr CliExitHelp kIoExits[] = {{0, "the backends were listed"},
                                    {1, "the instruments could not be set up (a bench file, the transcript)"},
                                    kUsage};

constexpr CliOptionHelp kFindOptions[] = {
    {"--lan", "also search the LAN (a portmapper broadcast and DNS-SD) as devices --lan does"},
};
constexpr CliExitHelp kFindExits[] = {{0, "the resources found were printed (none is no failure)"},
                                      {1, "the instruments could not be set up"},
                                      {2, "wrong arguments or an invalid search pattern"}};

constexpr CliExitHelp kQueryExits[] = {
    {0, "every command was written and every query answered"},
    {1, "the resource could not be opened, a write failed or a query got no answer"},
    kUsage};

constexpr CliOptionHelp kDevicesOptions[] = {
    {"--lan",
     "also search the LAN, as the window's setting \"Search the LAN for meters\" does: a VXI-11 portmapper "
     "broadcast on each interface and a DNS-SD browse through avahi-daemon, about a second and a half"},
};
constexpr CliExitHelp kDevicesExits[] = {
    {0, "at least one meter was found"},
    {1, "no meter was found (\"No Device Connected\") or the instruments could not be set up"},
    kUsage};

constexpr CliExitHelp kRecordsExits[] = {{0, "the list was printed (an empty folder lists nothing)"},
                                         {1, "the working folder has no DB folder"},
                                         kUsage};

constexpr CliOptionHelp kStatsOptions[] = {
    {"--high V", "also count the readings above V (an overload is above)"},
    {"--low V", "also count the readings below V"},
};
constexpr CliExitHelp kRecordReadExits[] = {
    {0, "done"}, {1, "the record could not be found or read, or the viewer refused the input"}, kUsage};

constexpr CliOptionHelp kSearchOptions[] = {
    {"--hi X", "the highest value to match"},
    {"--lo Y", "the lowest value to match"},
};

constexpr CliExitHelp kExportExits[] = {
    {0, "the CSV file was written"}, {1, "the record could not be read or the file not written"}, kUsage};

constexpr CliOptionHelp kDeleteOptions[] = {
    {"--yes", "answer the viewer's question Yes; without it nothing is deleted"},
};
constexpr CliExitHelp kDeleteExits[] = {{0, "both files of the record are gone"},
                                        {1, "the record was not deleted (no --yes, not found or not removable)"},
                                        kUsage};

constexpr CliOptionHelp kChartOptions[] = {
    {"--png FILE", "the picture to write (required)"},
    {"--from A", "the first reading to draw (with --to; the chart's Range)"},
    {"--to B", "the last reading to draw"},
    {"--second", "draw the 2ND function's values (the chart's Draw 2nd)"},
    {"--scale I", "the scale step, 0 (100M) to 47 (1 n); 20, a factor of 1, by default"},
    {"--colour RRGGBB", "the line colour in hexadecimal"},
};
constexpr CliExitHelp kChartExits[] = {
    {0, "the picture was written"},
    {1, "the record could not be read or drawn, or the file not written"},
    kUsage};

constexpr CliOptionHelp kListOptions[] = {
    {"--bench NAME", "only the records of this bench"},
};
constexpr CliExitHelp kListExits[] = {
    {0, "the list was printed"}, {1, "the server could not be used"}, {2, "wrong arguments or no lab server set"}};

constexpr CliOptionHelp kPullOptions[] = {
    {"--bench NAME", "the bench the record came from (required)"},
    {"--record-id ID", "the record's identity as records list shows it (required)"},
};
constexpr CliExitHelp kPullExits[] = {
    {0, "the record was copied"},
    {1, "the server could not be used, the record not found, or local record N exists already"},
    {2, "wrong arguments or no lab server set"}};

constexpr CliExitHelp kSyncExits[] = {{0, "every reading of every record is on the server"},
                                      {1, "the server could not be used or a record is not all on it"},
                                      {2, "wrong arguments or no lab server set"}};

constexpr CliOptionHelp kLogOptions[] = {
    {"--record N", "the record of the first meter, 1 to 10 (required); further meters go to N+1, ..."},
    {"--devices K1,K2,...", "device-list lines of up to four meters (default 1)"},
    {"--dual",
     "DUAL MEASURE of the Reading Settings; it only colours the window's second trace, so it changes nothing "
     "here: a meter reading a 2ND function has its 2ND value printed after the main one"},
    {"--count C", "stop after C ticks (default: until Ctrl-C)"},
    {"--interval MS", "milliseconds between ticks (default 25, as the window starts)"},
    {"--yes", "answer Yes when asked (adding to a record that holds readings)"},
    {"--no", "answer No when asked; without --yes or --no a question ends the start"},
    {"--keep-going",
     "keep reading when a meter drops: its column shows LOST, the others read on, and it is looked for again "
     "(after 0.5 s, doubling to every 30 s) until the same instrument answers on its starting function; each "
     "span without readings is stored in the record's read_gap table"},
    {"--for DURATION", "stop by itself after 30m, 2h, 1h30m, 90s, ... (a bare number counts seconds)"},
    {"--until \"yyyy/MM/dd HH:mm:ss\"", "stop by itself at this local time"},
    {"--high V1,...", "high limits per meter in --devices order (one value for all; empty for none)"},
    {"--low V1,...", "low limits likewise; crossings and returns are in the run log"},
};
constexpr CliExitHelp kLogExits[] = {
    {0, "every reading printed is in its record (also at Ctrl-C and at the planned stop)"},
    {1, "the start was refused (no meter on a line, a question not answered, a record that cannot be used)"},
    {2, "a meter stopped answering (never with --keep-going), or wrong arguments"},
    {3, "a record refused readings"},
};

constexpr CliOptionHelp kBurstOptions[] = {
    {"--device K", "the meter on line K of the device list (required)"},
    {"--record N", "the record, 1 to 10 (required)"},
    {"--count C", "the number of readings, 1 to 50000 (required)"},
    {"--yes", "answer Yes to the dialog's questions, should it ask any"},
};
constexpr CliExitHelp kBurstExits[] = {
    {0, "the readings were taken (or Ctrl-C stopped them as Stop does)"},
    {1, "the start was refused (no meter on line K, a count or a record refused)"},
    {2, "the meter stopped answering, or wrong arguments"},
    {3, "the record refused readings"},
};

constexpr CliOptionHelp kConsoleOptions[] = {
    {"--device K", "the meter on line K of the device list (default 1)"},
};
constexpr CliExitHelp kConsoleExits[] = {
    {0, "every command was done"},
    {1, "a command got \"FAIL.\" or \"Couldn't return a value.\", no meter was found, or set-up failed"},
    {2, "\"Check Device Connection\": three commands in a row went by without a word from the meter; or wrong "
        "arguments"},
};

constexpr CliOptionHelp kSettingsOptions[] = {
    {"--device K", "the meter on line K of the device list (required)"},
    {"--function L", "set: the function, a label as the dialog lists it (required for set)"},
    {"--range L", "set: the range (or sensor) label"},
    {"--second L", "set: the second choice of the function (resolution, bandwidth, unit, ...)"},
    {"--transducer 2W|4W", "set: the RTD transducer"},
    {"--coefficients V1,...", "set: the sensor's coefficients, as many as the dialog shows"},
    {"--second-function L", "set: the 2ND function of a dual meter"},
    {"--second-range L", "set: the 2ND function's range"},
    {"--second-choice L", "set: the 2ND function's second choice"},
};
constexpr CliExitHelp kSettingsExits[] = {
    {0, "the configuration was read back"},
    {1, "the meter stopped answering, a Set ended early or was refused, or an answer was no setting at all"},
    {2, "wrong arguments, or a label the dialog does not offer (the choices are named)"},
};

constexpr CliOptionHelp kScanOptions[] = {
    {"--device K", "the meter on line K of the scan dialog's device list (default 1)"},
    {"--channel C=FUNC[:R[:I]]",
     "measure channel C with FUNC: None, DCV, ACV, DCI, ACI, Freq, 2W or 4W; DCI and ACI show (voltage / R) + I, "
     "R required; 4W on the lower half of the card. Repeatable; channels not named are set to None"},
    {"--timer S", "seconds between readings, 0 to 60 (default 0.5)"},
    {"--count C", "readings of a plain scan, 1 to 2000 (default: the card's channels)"},
    {"--scans N", "N scans, 1 to 200: alone, one count of N times the channels; with --every, the repeats"},
    {"--every HH:MM:SS", "repeat one scan at this interval (PerScan), until --until or --scans ends it"},
    {"--until \"yyyy/MM/dd HH:mm:ss\"", "with --every: no new scan after this moment"},
    {"--at \"yyyy/MM/dd HH:mm:ss\"", "start at this moment"},
    {"--step", "STEP mode instead of SCAN"},
    {"--xlsx FILE", "also write the grid as a spreadsheet (.xlsx is added when missing)"},
    {"--csv FILE", "also write the grid as comma-separated text"},
};
constexpr CliExitHelp kScanExits[] = {
    {0, "the scan ran"},
    {1, "an input or option was refused (wrong arguments included) or a file could not be written"},
    {2, "the meter or card stopped answering or counting, or returned fewer readings than it counted"},
    {130, "Ctrl-C ended the run"},
};

constexpr CliExitHelp kHelpExits[] = {{0, "the usage was printed"}, {2, "no such command"}};

constexpr CliCommandHelp kCommands[] = {
    {"io", "io", "list the I/O backends, whether each is active and why not",
     "Lists each I/O backend (simulated meters, USBTMC, GPIB, VXI-11, HiSLIP, a VISA library, TCP socket) as "
     "active or inactive with the reason, then the interfaces the LAN search would use and whether its DNS-SD half "
     "can run.",
     {}, kIoExits},
    {"find", "find [--lan] PATTERN", "print the resources that match a VISA search pattern",
     "Prints the resources of every active backend that match PATTERN, such as \"?*INSTR\" or "
     "\"USB[0-9]*::?*INSTR\", one a line.",
     kFindOptions, kFindExits},
    {"query", "query RESOURCE COMMAND...", "send commands to one resource and print the answers",
     "Opens RESOURCE (a LAN resource needs no --resource) and writes each COMMAND with a line feed appended; "
     "the answer to each query (a \"?\" after its first character) is printed on its own line.",
     {}, kQueryExits},
    {"devices", "devices [--lan]", "print the device list as the main window shows it",
     "Searches the meters as the main window does at start-up and prints its device list, one meter a line; "
     "the line numbers are the K of --device and --devices.",
     kDevicesOptions, kDevicesExits},
    {"records", "records [viewer|chart|burst|settings]", "list the records of the working folder",
     "Lists the records (Record N.mdb, 1 to 10) of the DB folder of the current folder (or the current folder "
     "itself when its path holds \"DB\") as that dialog's list shows them (default: the record viewer's). The "
     "operations on one record: records stats|search|export|delete|chart N; on the lab server: records list|pull.",
     {}, kRecordsExits, "viewer burst settings"},
    {"records stats", "records stats N [--high V] [--low V]", "the record viewer's figures of record N",
     "Prints Data Quantity, MAX, MIN and AVG of record N (and the 2ND function's) as the record viewer shows "
     "them, and for a record a run kept reading through a dropped meter how many gaps and how long together. A "
     "record another program wrote or changed is read once; what that finds is kept in the file for the next "
     "opening.",
     kStatsOptions, kRecordReadExits},
    {"records search", "records search N --hi X --lo Y", "the readings of record N from Y to X",
     "Prints the readings of record N from Y to X as number,value,2ND value,time lines, then the matches and "
     "the figures, with the record viewer's checks and messages.",
     kSearchOptions, kRecordReadExits},
    {"records export", "records export N FILE", "write record N as CSV",
     "Writes record N as the record viewer's CSV export does. The file appears under its name only when "
     "complete; a folder, device, pipe or socket of that name is refused and left alone.",
     {}, kExportExits},
    {"records delete", "records delete N [--yes]", "delete record N",
     "Deletes both files of record N, as the record viewer's Delete does.", kDeleteOptions, kDeleteExits},
    {"records chart", "records chart N --png FILE [--from A --to B] [--second] [--scale I] [--colour RRGGBB]",
     "draw record N as the record chart does", "Draws record N (all readings, or A to B) as the record chart "
     "does and writes the picture as PNG. Without N, \"records chart\" lists the records the chart offers.",
     kChartOptions, kChartExits},
    {"records list", "records list [--bench NAME]", "list the records on the lab server",
     "Lists the records on the lab server: bench, record identity, the record's label and its readings.",
     kListOptions, kListExits},
    {"records pull", "records pull --bench NAME --record-id ID N", "copy a lab server record into local record N",
     "Copies a record of the lab server into local record N (1 to 10) of the working folder.", kPullOptions,
     kPullExits},
    {"log",
     "log --record N [--devices K1,K2,...] [--dual] [--count C] [--interval MS] [--yes|--no] [--keep-going] "
     "[--for DURATION | --until \"yyyy/MM/dd HH:mm:ss\"] [--high V1,...] [--low V1,...]",
     "take readings from one to four meters into records",
     "Reads the meters on a timer into record N (N+1, ... for further meters) with the window's checks, one line "
     "of readings per tick on standard output (tab-separated, a meter's 2ND value after its main one), until C "
     "ticks, the planned stop or Ctrl-C. On a terminal a progress line stays below the readings. The run log (a "
     "meter lost or back, a limit crossed, the planned stop, and at the end each meter's gaps and readings outside "
     "its limits) goes to standard error, each line stamped to the millisecond.",
     kLogOptions, kLogExits},
    {"burst", "burst --device K --record N --count C [--yes]", "take C readings as fast as the meter answers",
     "Takes C readings from the meter on line K into record N as fast as it answers, as Multiple Readings does; "
     "a progress line on a terminal, then the readings, the seconds and the readings per second. Ctrl-C stops "
     "like the dialog's Stop.",
     kBurstOptions, kBurstExits},
    {"console", "console [--device K]", "send command lines from standard input to a meter",
     "Sends each line of standard input to the meter as Command Control does: a line with \"?\" after its first "
     "character is a Query, \":query TEXT\" a Query of any text, \":write TEXT\" or any other line a Write, "
     "\":read\" a Read, \":quit\" ends. One answer per line; on a terminal, line editing and history, and an "
     "answer's control characters shown as escapes such as \\x1b.",
     kConsoleOptions, kConsoleExits},
    {"settings",
     "settings get|set --device K [--function L [--range L] [--second L] [--transducer 2W|4W] "
     "[--coefficients V1,...] [--second-function L --second-range L --second-choice L]]",
     "show or set a meter's configuration as Device Settings does",
     "get reads the meter's configuration back and prints one \"label: value\" line per control the Device "
     "Settings dialog shows; set chooses the labels given as the dialog would (without case, blanks or degree "
     "signs), applies them as its Set does and prints the configuration read back. A Set of nothing but what "
     "the meter holds writes nothing.",
     kSettingsOptions, kSettingsExits, "get set"},
    {"scan",
     "scan [--device K] [--channel C=FUNC[:R[:I]]]... [--timer S] [--count C | --every HH:MM:SS [--until "
     "\"yyyy/MM/dd HH:mm:ss\" | --scans N] | --scans N] [--at \"yyyy/MM/dd HH:mm:ss\"] [--step] [--xlsx FILE] "
     "[--csv FILE]",
     "scan channels of a scanner card, print the results grid",
     "Runs a channel scan on a scanner card found by the scan dialog's own search, as its Start Reading does, "
     "and prints the progress as the card counts, then the results grid (a row per scan: its number, the time "
     "and a column per channel; MISSING for a reading the card counted but did not return). Every option is "
     "checked before a meter is searched. Ctrl-C ends a repeated run, or a wait for --at, after the scan in "
     "progress and keeps its rows; a second Ctrl-C, or the first in a counted scan, ends at once.",
     kScanOptions, kScanExits},
    {"sync", "sync", "forward the working folder's records to the lab server now",
     "Forwards every record of the working folder to the lab server and prints per record the readings it "
     "holds and those the server holds (\"Record 1: 1200 local / 1200 on the server\").",
     {}, kSyncExits},
    {"help", "help [COMMAND [WORD]]", "show the usage of merilog-cli or of one command",
     "Prints the usage of COMMAND (\"records stats\", \"settings\", ...), as COMMAND --help does; without one, "
     "the general usage.",
     {}, kHelpExits},
};

constexpr int kWidth = 79;

// Words of `text` wrapped to kWidth, every line after the first indented by `indent`.
std::string Wrap(const std::string& text, int firstColumn, int indent) {
  std::string out;
  int column = firstColumn;
  std::size_t i = 0;
  while (i < text.size()) {
    // A quoted text ("yyyy/MM/dd HH:mm:ss") stays on one line.
    std::size_t end = i;
    bool quoted = false;
    while (end < text.size() && (quoted || text[end] != ' ')) quoted ^= text[end++] == '"';
    const std::string word = text.substr(i, end - i);
    i = end + 1;
    const bool first = column == firstColumn;
    if (!first && column + 1 + static_cast<int>(word.size()) > kWidth) {
      out += '\n' + std::string(indent, ' ');
      column = indent;
    } else if (!first) {
      out += ' ';
      ++column;
    }
    out += word;
    column += static_cast<int>(word.size());
  }
  return out;
}

// "  --record N          text", the text in a column of its own.
std::string OptionLines(std::span<const CliOptionHelp> options) {
  constexpr int kTextColumn = 24;
  std::string out;
  for (const CliOptionHelp& o : options) {
    std::string line = "  " + std::string(o.option);
    if (static_cast<int>(line.size()) + 2 > kTextColumn)
      line += '\n' + std::string(kTextColumn, ' ');
    else
      line += std::string(kTextColumn - line.size(), ' ');
    out += line + Wrap(o.text, kTextColumn, kTextColumn) + '\n';
  }
  return out;
}

std::string UsageLine(const CliCommandHelp& c) {
  return Wrap(std::string("usage: merilog-cli ") + c.synopsis, 0, 8) + '\n';
}

const CliCommandHelp* Named(const QString& name) {
  for (const CliCommandHelp& c : kCommands)
    if (name == QLatin1String(c.name)) return &c;
  return nullptr;
}

}  // namespace

const CliCommandHelp* FindCliCommand(const QStringList& words, bool exact) {
  if (words.isEmpty() || (exact && words.size() > 2)) return nullptr;
  if (words.size() > 1) {
    if (const CliCommandHelp* pair = Named(words[0] + ' ' + words[1])) return pair;
    const CliCommandHelp* single = Named(words[0]);
    const bool also = single && QString::fromLatin1(single->alsoWords).split(' ').contains(words[1]);
    if (exact && !also) return nullptr;
    return single;
  }
  return Named(words[0]);
}

std::string GeneralHelpText() {
  std::string out =
      "usage: merilog-cli [--simulate[=BENCH]] [--resource R]... [--transcript FILE] [--server CONNINFO]\n"
      "                   COMMAND [ARGS]\n"
      "       merilog-cli help COMMAND, or COMMAND --help: the usage of one command\n\ncommands:\n";
  for (const CliCommandHelp& c : kCommands) {
    std::string line = "  " + std::string(c.name);
    line += std::string(std::max<std::size_t>(2, 18 - line.size()), ' ');
    out += line + Wrap(c.summary, static_cast<int>(line.size()), 18) + '\n';
  }
  out += "\nglobal options (before COMMAND):\n" + OptionLines(kGlobalOptions);
  out += "\nmerilog-cli(1) has examples for every command.\n";
  return out;
}

std::string CommandHelpText(const CliCommandHelp& c) {
  std::string out = UsageLine(c) + '\n' + Wrap(c.description, 0, 0) + '\n';
  if (!c.options.empty()) out += "\noptions:\n" + OptionLines(c.options);
  out += "\nexit status:\n";
  for (const CliExitHelp& e : c.exits) {
    std::string line = "  " + std::to_string(e.status);
    line += std::string(7 - line.size(), ' ');
    out += line + Wrap(e.text, 7, 7) + '\n';
  }
  out += "\nThe global options (merilog-cli --help) go before the command.\n";
  return out;
}

void PrintUsageLine(const char* name, std::FILE* to) {
  const CliCommandHelp* c = Named(QString::fromLatin1(name));
  if (!c) return;
  std::fputs(UsageLine(*c).c_str(), to);
  std::fprintf(to, "(merilog-cli help %s tells more)\n", name);
}

}  // namespace merilog::cli
