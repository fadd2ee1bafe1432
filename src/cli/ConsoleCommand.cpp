#include "cli/ConsoleCommand.h"

#include <unistd.h>

#include <QCoreApplication>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>

#include "cli/CliHelp.h"
#include "cli/CliMeters.h"
#include "core/base/MessageTable.h"
#include "core/console/ConsoleModel.h"
#include "core/instrument/QueryDevice.h"

#ifdef MERILOG_HAVE_LIBEDIT
#include <editline/readline.h>
#endif

namespace merilog::cli {

namespace {

// Presses in a row without a word from the meter before the console stops.
constexpr int kNoAnswersBeforeGivingUp = 3;

// One line of input; nothing at the end of the input.
class LineSource {
 public:
  explicit LineSource(std::string prompt) : prompt_(std::move(prompt)) {
#ifdef MERILOG_HAVE_LIBEDIT
    editing_ = ::isatty(STDIN_FILENO) && ::isatty(STDOUT_FILENO);
    if (editing_) ::using_history();
#endif
  }

  std::optional<std::string> Next() {
#ifdef MERILOG_HAVE_LIBEDIT
    if (editing_) {
      char* line = ::readline(prompt_.c_str());
      if (!line) return std::nullopt;
      std::string text(line);
      std::free(line);
      return text;
    }
#endif
    std::string text;
    if (!std::getline(std::cin, text)) return std::nullopt;
    if (!text.empty() && text.back() == '\r') text.pop_back();
    return text;
  }

  // The up and down keys walk the console's own history (most recent first there).
  void ShowHistory(const QStringList& entries) {
#ifdef MERILOG_HAVE_LIBEDIT
    if (!editing_) return;
    ::clear_history();
    for (auto it = entries.rbegin(); it != entries.rend(); ++it) ::add_history(it->toUtf8().constData());
#else
    (void)entries;
#endif
  }

 private:
  std::string prompt_;
  bool editing_ = false;
};

struct Command {
  enum Kind { Query, Write, Read, Quit, Nothing } kind = Nothing;
  QString text;
};

Command ParseLine(const std::string& raw) {
  const QString line = QString::fromUtf8(raw);
  const QString trimmed = line.trimmed();
  if (trimmed.isEmpty()) return {};
  auto after = [&](int length) { return trimmed.mid(length).trimmed(); };
  if (trimmed == ":read") return {Command::Read, {}};
  if (trimmed == ":quit" || trimmed == ":exit") return {Command::Quit, {}};
  if (trimmed.startsWith(":write ")) return {Command::Write, after(7)};
  if (trimmed.startsWith(":query ")) return {Command::Query, after(7)};
  // Sent as typed, but for the line end and blanks before it.
  QString text = line;
  while (!text.isEmpty() && text.back().isSpace()) text.chop(1);
  // A query as the meters see one: a "?" anywhere after the first character ("SENS:CAP:rang? MAX").
  return {CommandExpectsAnswer(text.toStdString()) ? Command::Query : Command::Write, text};
}

}  // namespace

int RunConsoleCommand(const CliOptions& options, const QStringList& args) {
  int device = 1;
  if (args.size() == 2 && args[0] == "--device") {
    bool ok = false;
    device = args[1].toInt(&ok);
    if (!ok || device < 1) device = 0;
  } else if (!args.isEmpty()) {
    device = 0;
  }
  if (device == 0) {
    PrintUsageLine("console");
    return 2;
  }
  CliMeters meters;
  std::string error;
  if (!meters.Discover(options.io, &error)) {
    std::fprintf(stderr, "merilog-cli: %s\n", error.c_str());
    return 1;
  }
  ConsoleModel model;
  model.HandOverDevices(meters.HandOver(HandOverDialog::CommandConsole));
  model.Opening();
  const ConsoleView& view = model.View();
  if (view.deviceNames.isEmpty()) {
    std::fprintf(stderr, "%s\n", view.chooserText.toLocal8Bit().constData());
    return 1;
  }
  if (device > view.deviceNames.size()) {
    std::fprintf(stderr, "merilog-cli: no meter on line %d (%lld found)\n", device,
                 static_cast<long long>(view.deviceNames.size()));
    return 1;
  }
  model.DeviceChosen(device - 1);

  LineSource input(view.deviceNames[device - 1].toStdString() + "> ");
  const bool terminal = ::isatty(STDOUT_FILENO);
  bool anyFailed = false;
  while (const auto line = input.Next()) {
    const Command command = ParseLine(*line);
    if (command.kind == Command::Quit) break;
    if (command.kind == Command::Nothing) continue;
    if (command.kind != Command::Read) model.SendTextEdited(command.text);
    if (command.kind == Command::Query) model.Query();
    if (command.kind == Command::Write) model.Write();
    if (command.kind == Command::Read) model.Read();
    while (view.waiting) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // A Write that worked has nothing to show. A meter's bytes reach a terminal as text, never as its controls.
    if (command.kind != Command::Write || !view.receivedText.isEmpty())
      std::printf("%s\n",
                  (terminal ? EscapeControlCharacters(view.receivedText) : view.receivedText).toUtf8().constData());
    std::fflush(stdout);
    input.ShowHistory(view.historyEntries);
    anyFailed = anyFailed || model.LastOutcome() != ConsoleOutcome::Done;
    // A silent meter would cost its whole time-out on every line that follows.
    if (model.NoAnswerInARow() >= kNoAnswersBeforeGivingUp) {
      std::fprintf(stderr, "%s\n", LookupMessage("1001", "Check Device Connection").toLocal8Bit().constData());
      return 2;
    }
  }
  return anyFailed ? 1 : 0;
}

}  // namespace merilog::cli
