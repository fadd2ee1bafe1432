// merilog-cli burst and console as a user runs them: piped, on the simulated
// bench, and a burst killed mid-run against merilog-simmeter.
#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QThread>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordTestSupport.h"
#include "support/SimmeterProcess.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

using test::RowCount;
using test::TempFolder;

int Cli(const QStringList& args, QString* out, QString* err, const QString& dir) {
  return test::RunProgram(MERILOG_CLI_PATH, args, out, err, 60000, dir);
}

TEST(BurstCommand, TakesTheReadingsOrRefuses) {
  TempFolder f;
  QString out, err;
  // No working folder: the dialog's record message, and a failure.
  EXPECT_EQ(Cli({"--simulate", "burst", "--device", "1", "--record", "1", "--count", "5"}, &out, &err, f.Path()), 1);
  EXPECT_TRUE(err.contains("Please select a record.")) << err.toStdString();
  ASSERT_TRUE(QDir(f.Path()).mkdir("DB"));
  ASSERT_EQ(Cli({"--simulate", "burst", "--device", "2", "--record", "3", "--count", "20"}, &out, &err, f.Path()), 0)
      << err.toStdString();
  const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 3) << out.toStdString();
  EXPECT_EQ(lines[0], "readings: 20");
  EXPECT_TRUE(lines[1].startsWith("seconds: "));
  EXPECT_TRUE(lines[2].startsWith("readings_per_s: "));
  EXPECT_TRUE(err.isEmpty()) << err.toStdString();  // no progress line off a terminal
  EXPECT_EQ(RowCount(f.File("DB/Record 3.mdb")), 20);

  EXPECT_EQ(Cli({"--simulate", "burst", "--device", "9", "--record", "3", "--count", "5"}, &out, &err, f.Path()), 1);
  EXPECT_EQ(Cli({"--simulate", "burst", "--device", "2", "--count", "5"}, &out, &err, f.Path()), 2);
  EXPECT_TRUE(err.contains("burst needs --device K, --record N and --count C")) << err.toStdString();
  EXPECT_EQ(Cli({"--simulate", "burst", "--device", "2", "--record", "3", "--count", " "}, &out, &err, f.Path()), 2);
  EXPECT_EQ(err.toStdString(), "merilog-cli: --count takes the number of readings, 1 to 50000\n");
  EXPECT_EQ(RowCount(f.File("DB/Record 3.mdb")), 20);
}

TEST(ConsoleCommand, AnswersEachLineOfPipedInput) {
  TempFolder f;
  QProcess p;
  p.setWorkingDirectory(f.Path());
  p.start(MERILOG_CLI_PATH, {"--simulate", "console", "--device", "2"});
  ASSERT_TRUE(p.waitForStarted());
  // A "?" anywhere after the first character makes a query, as at its end.
  p.write(
      "*IDN?\nCONF:VOLT:AC\nSENS:CAP:rang? MAX\nfunc?  \n:write func?\n:read\n:read\n\n:query *IDN?\n:quit\n"
      "func?\n");
  p.closeWriteChannel();
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), 1);  // the first :read got no answer
  const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
  const QStringList expected{
      "MERISIM,MODEL 6082,SN02,2.05", "+1.00000000E-02", "\"VOLT:AC\"", "\"VOLT:AC\"", "Couldn't return a value.",
      "MERISIM,MODEL 6082,SN02,2.05"};
  EXPECT_EQ(lines, expected);

  QString out, err;
  EXPECT_EQ(Cli({"--simulate", "console", "--device", "7"}, &out, &err, f.Path()), 1);
  EXPECT_TRUE(err.contains("no meter on line 7"));
}

// A meter that stops answering ends the console after three lines in a row
// without a word, instead of costing a time-out per line for ever.
TEST(ConsoleCommand, ASilentMeterEndsItAfterThreeTimeOuts) {
  TempFolder f;
  const QString bench =
      f.Write("bench.ini", "[meter]\nresource = USB0::0x3A7D::0x6081::SN01::INSTR\nmodel = 6081\nsilent-after = 2\n");
  ASSERT_FALSE(bench.isEmpty());
  QProcess p;
  p.setWorkingDirectory(f.Path());
  p.start(MERILOG_CLI_PATH, {"--simulate=" + bench, "console"});
  ASSERT_TRUE(p.waitForStarted());
  p.write("*IDN?\nfunc?\n:read\n*IDN?\n*IDN?\n");
  p.closeWriteChannel();
  ASSERT_TRUE(p.waitForFinished(30000));
  EXPECT_EQ(p.exitCode(), 2);
  EXPECT_EQ(QString::fromUtf8(p.readAllStandardOutput()),
            "MERISIM,MODEL 6081,SN01,1.02\nCouldn't return a value.\nCouldn't return a value.\n"
            "Couldn't return a value.\n");
  EXPECT_EQ(QString::fromUtf8(p.readAllStandardError()), "Check Device Connection\n");
}

// The record of a burst killed without warning opens cleanly afterwards and
// holds every reading committed before the kill, its figures in step.
TEST(BurstCommand, AKilledBurstLeavesARecordThatOpensWithItsCommittedReadings) {
  test::SimmeterProcess meter({"--model", "6081", "--fault", "delay-ms=1"});
  ASSERT_NE(meter.port, 0);
  TempFolder f;
  ASSERT_TRUE(QDir(f.Path()).mkdir("DB"));
  const QString record = f.File("DB/Record 1.mdb");
  QProcess burst;
  burst.setWorkingDirectory(f.Path());
  burst.start(MERILOG_CLI_PATH, {"--resource", QString::fromStdString(meter.Resource()), "burst", "--device", "1",
                                 "--record", "1", "--count", "50000"});
  ASSERT_TRUE(burst.waitForStarted());
  long long seen = 0;
  QDeadlineTimer safety(60000);
  while (seen < 50 && !safety.hasExpired() && burst.state() == QProcess::Running) {
    QThread::msleep(20);
    try {
      if (QFile::exists(record)) seen = RowCount(record);
    } catch (const SQLite::Exception&) {
      // Not yet a record: it is made under another name and renamed.
    }
  }
  ASSERT_GE(seen, 50) << burst.readAllStandardError().toStdString();
  burst.kill();
  ASSERT_TRUE(burst.waitForFinished());
  EXPECT_EQ(burst.exitStatus(), QProcess::CrashExit);

  auto db = RecordDatabase::Open(record, RecordDatabase::Access::Write);
  ASSERT_TRUE(db) << db.error().toStdString();
  EXPECT_EQ(db.value()->Sql().execAndGet("PRAGMA integrity_check").getString(), "ok");
  const long long rows = RowCount(record);
  EXPECT_GE(rows, seen);
  EXPECT_LT(rows, 50000);
  auto figures = ReadRecordFigures(*db.value());
  ASSERT_TRUE(figures);
  EXPECT_TRUE(figures->fromSummary);
  EXPECT_EQ(figures->value.count, rows);
  EXPECT_TRUE(db.value()->ReadDate()->present);
  EXPECT_EQ(db.value()->ReadFunctions()->function1, "DCV");
}

}  // namespace
}  // namespace merilog
