// merilog-cli's help: every command the general --help lists answers --help
// and "help COMMAND" with its own usage, options and exit statuses; bash
// completes the same commands and options.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include "support/TestSupport.h"

namespace {

int Cli(const QStringList& args, QString* out, QString* err) {
  return merilog::test::RunProgram(MERILOG_CLI_PATH, args, out, err);
}

// The commands of the general help's "commands:" section, one or two words each.
QStringList ListedCommands(const QString& help) {
  QStringList names;
  const QString section = help.section("commands:\n", 1).section("\n\n", 0, 0);
  static const QRegularExpression entry("^  (\\S+(?: [a-z]+)?)  ", QRegularExpression::MultilineOption);
  for (auto m = entry.globalMatch(section); m.hasNext();) names << m.next().captured(1);
  return names;
}

// Every option a usage line names, or the option each line of an option list begins with.
QSet<QString> Options(const QString& text, const QString& pattern = "--[a-z][a-z-]*") {
  QSet<QString> found;
  const QRegularExpression option(pattern, QRegularExpression::MultilineOption);
  for (auto m = option.globalMatch(text); m.hasNext();) {
    const auto match = m.next();
    found << match.captured(match.lastCapturedIndex());
  }
  return found;
}

// A set of words, sorted, as one line: what a failure shows.
std::string Text(const QSet<QString>& words) {
  QStringList list(words.begin(), words.end());
  list.sort();
  return list.join(' ').toStdString();
}

TEST(CliHelp, EveryCommandAnswersHelpWithItsOwnUsageOptionsAndExitStatuses) {
  QString general, out, err;
  ASSERT_EQ(Cli({"--help"}, &general, &err), 0);
  const QStringList commands = ListedCommands(general);
  for (const char* expected : {"io", "find", "query", "devices", "records", "records stats", "records search",
                               "records export", "records delete", "records chart", "records list", "records pull",
                               "log", "burst", "console", "settings", "scan", "sync"})
    EXPECT_TRUE(commands.contains(expected)) << expected << " missing from\n" << general.toStdString();

  for (const QString& command : commands) {
    SCOPED_TRACE(command.toStdString());
    const QStringList words = command.split(' ');
    QString viaHelp;
    ASSERT_EQ(Cli(QStringList{"help"} + words, &viaHelp, &err), 0) << err.toStdString();
    EXPECT_TRUE(err.isEmpty()) << err.toStdString();
    EXPECT_TRUE(viaHelp.startsWith("usage: merilog-cli " + command)) << viaHelp.toStdString();
    EXPECT_TRUE(viaHelp.contains("\nexit status:\n  0 ")) << viaHelp.toStdString();
    // Nothing else is done: a command that needs meters or a record folder answers here without them.
    ASSERT_EQ(Cli(words + QStringList{"--help"}, &out, &err), 0) << err.toStdString();
    EXPECT_EQ(out, viaHelp);
    // The usage line and the option list name the same options.
    const QString usage = viaHelp.section("\n\n", 0, 0);
    const QString options = viaHelp.section("\noptions:\n", 1).section("\n\n", 0, 0);
    EXPECT_EQ(Text(Options(usage)), Text(Options(options, "^  (--[a-z][a-z-]*)"))) << viaHelp.toStdString();
  }
  // Among the words of a command line, --help still shows that command's help.
  QString burst;
  ASSERT_EQ(Cli({"help", "burst"}, &burst, &err), 0);
  ASSERT_EQ(Cli({"--simulate", "burst", "--device", "1", "--help"}, &out, &err), 0);
  EXPECT_EQ(out, burst);
  EXPECT_TRUE(burst.contains("  --count C ")) << burst.toStdString();
  ASSERT_EQ(Cli({"help", "settings", "get"}, &out, &err), 0);
  EXPECT_TRUE(out.startsWith("usage: merilog-cli settings get|set")) << out.toStdString();
}

TEST(CliHelp, UnknownCommandsAreRefusedByName) {
  QString out, err;
  for (const QStringList& words : {QStringList{"help", "frobnicate"}, QStringList{"help", "records", "bogus"},
                                   QStringList{"frobnicate", "--help"}}) {
    SCOPED_TRACE(words.join(' ').toStdString());
    EXPECT_EQ(Cli(words, &out, &err), 2);
    EXPECT_TRUE(out.isEmpty());
    EXPECT_TRUE(err.contains(words.contains("bogus") ? "\"records bogus\"" : "\"frobnicate\"")) << err.toStdString();
    EXPECT_TRUE(err.contains("merilog-cli --help lists them")) << err.toStdString();
  }
  // A command's wrong arguments end with its usage line.
  EXPECT_EQ(Cli({"records", "stats", "11"}, &out, &err), 2);
  EXPECT_TRUE(err.contains("usage: merilog-cli records stats N")) << err.toStdString();
}

// What the completion offers for `words` as bash hands them over (split at
// blanks, ":" and "="), the last one being completed, run in `dir`.
QSet<QString> Complete(const QStringList& words, const QString& dir = QDir::tempPath()) {
  QString script = QString("source '%1' || exit 3\nCOMP_WORDS=(").arg(MERILOG_SOURCE_DATA_DIR "/completion/merilog-cli");
  for (QString w : words) script += " '" + w.replace("'", "'\\''") + "'";
  script += QString(")\nCOMP_CWORD=%1\n_merilog_cli\nprintf '%s\\n' \"${COMPREPLY[@]}\"\n").arg(words.size() - 1);
  QString out, err;
  EXPECT_EQ(merilog::test::RunProgram("bash", {"--norc", "--noprofile", "-c", script}, &out, &err, 30000, dir), 0)
      << err.toStdString();
  EXPECT_TRUE(err.isEmpty()) << err.toStdString();
  const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
  return QSet<QString>(lines.begin(), lines.end());
}

TEST(CliCompletion, CompletesTheCommandsAndEachCommandsOwnOptions) {
  EXPECT_EQ(Text(Complete({"merilog-cli", "bu"})), "burst");
  EXPECT_EQ(Text(Complete({"merilog-cli", "records", "s"})), "search settings stats");
  EXPECT_EQ(Text(Complete({"merilog-cli", "help", "con"})), "console");
  EXPECT_EQ(Text(Complete({"merilog-cli", "settings", "set", "--transducer", ""})), "2W 4W");
  // Each command's options are those its help lists (and --help).
  QString general, help, err;
  ASSERT_EQ(Cli({"--help"}, &general, &err), 0);
  const QStringList commands = ListedCommands(general);
  ASSERT_GE(commands.size(), 18);
  for (const QString& command : commands) {
    SCOPED_TRACE(command.toStdString());
    ASSERT_EQ(Cli(QStringList{"help"} + command.split(' '), &help, &err), 0);
    const QSet<QString> listed = Options(help.section("\noptions:\n", 1).section("\n\n", 0, 0), "^  (--[a-z][a-z-]*)");
    QStringList words = QStringList{"merilog-cli", "--simulate"} + command.split(' ');
    // An operation on a record takes its number first.
    if (QRegularExpression("^records (stats|search|export|delete|chart)$").match(command).hasMatch()) words << "1";
    if (command == "records export") words << "out.csv";
    if (command == "settings") words << "get";
    QSet<QString> offered = Complete(words << "--");
    if (command != "help") {
      EXPECT_TRUE(offered.remove("--help"));
    }
    EXPECT_EQ(Text(offered), Text(listed));
  }
  // Global options before the command.
  EXPECT_TRUE(Complete({"merilog-cli", "--"}).contains("--simulate"));
}

TEST(CliCompletion, OffersTheRecordNumbersOfTheWorkingFoldersDbFolder) {
  merilog::test::TempFolder folder;
  ASSERT_TRUE(QDir(folder.Path()).mkdir("DB"));
  // The log may start a new record: every number while the folder holds none.
  EXPECT_EQ(Text(Complete({"merilog-cli", "log", "--record", ""}, folder.Path())), "1 10 2 3 4 5 6 7 8 9");
  for (const char* name : {"Record 2.mdb", "Record 10.mdb", "DBfile_DB4.mdb", "Record 11.mdb", "Record 3.txt"}) {
    QFile f(folder.File(QString("DB/") + name));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  EXPECT_EQ(Text(Complete({"merilog-cli", "records", "stats", ""}, folder.Path())), "10 2 4");
  EXPECT_EQ(Text(Complete({"merilog-cli", "records", "delete", "1"}, folder.Path())), "10");
  EXPECT_EQ(Text(Complete({"merilog-cli", "--simulate", "log", "--record", ""}, folder.Path())), "10 2 4");
  // In the DB folder itself, as the record lists read it.
  EXPECT_EQ(Text(Complete({"merilog-cli", "records", "chart", ""}, folder.File("DB"))), "10 2 4");
}

// bash splits "--simulate=FILE" and resources at "=" and ":"; the words are joined again.
TEST(CliCompletion, JoinsTheWordsBashSplitsAtColonsAndEquals) {
  merilog::test::TempFolder folder;
  QFile bench(folder.File("bench.ini"));
  ASSERT_TRUE(bench.open(QIODevice::WriteOnly));
  EXPECT_EQ(Text(Complete({"merilog-cli", "--simulate", "=", "ben"}, folder.Path())), "bench.ini");
  EXPECT_EQ(Text(Complete({"merilog-cli", "--resource", "TCPIP0", "::", "127.0.0.1", "::", "5025", "::", "SOCKET", "bu"})),
            "burst");
}

}  // namespace
