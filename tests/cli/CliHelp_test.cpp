// merilog-cli's help: every command the general --help lists answers --help
// and "help COMMAND" with its own usage, options and exit statuses.
#include <gtest/gtest.h>

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
    EXPECT_EQ(Options(usage), Options(options, "^  (--[a-z][a-z-]*)")) << viaHelp.toStdString();
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

}  // namespace
