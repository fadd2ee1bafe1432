#include <gtest/gtest.h>

#include <QDir>
#include <SQLiteCpp/SQLiteCpp.h>

#include "../support/TestSupport.h"

using merilog::test::RunProgram;
using merilog::test::TempFolder;

namespace {

int Log(const TempFolder& f, const QStringList& args, QString* out, QString* err) {
  return RunProgram(MERILOG_CLI_PATH, QStringList{"--simulate", "log"} + args, out, err, 30000, f.Path());
}

std::vector<double> Values(const QString& path) {
  SQLite::Database db(path.toStdString());
  SQLite::Statement q(db, "SELECT read_value FROM read ORDER BY rowid");
  std::vector<double> v;
  while (q.executeStep()) v.push_back(q.getColumn(0).getDouble());
  return v;
}

TEST(LogCommand, StoresOneRowPerPrintedTickAndAsksBeforeContinuing) {
  TempFolder f;
  QDir(f.Path()).mkdir("DB");
  QString out, err;
  ASSERT_EQ(Log(f, {"--record", "2", "--devices", "2", "--count", "4", "--interval", "1"}, &out, &err), 0) << err.toStdString();
  const QStringList lines = out.split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 4);
  const auto values = Values(f.Path() + "/DB/Record 2.mdb");
  ASSERT_EQ(values.size(), 4u);
  // The printed display text is the stored value with twelve decimals.
  EXPECT_EQ(lines[0].split('\t')[0].toStdString(), QString::asprintf("%.12f", values[0]).toStdString());

  // Continuing needs an answer: without one the start is refused.
  EXPECT_EQ(Log(f, {"--record", "2", "--devices", "2", "--count", "1"}, &out, &err), 1);
  EXPECT_TRUE(err.contains("Record 2 will continue saving the readings.  Continue?"));
  EXPECT_EQ(Log(f, {"--record", "2", "--devices", "2", "--count", "1", "--no"}, &out, &err), 1);
  EXPECT_EQ(Log(f, {"--record", "2", "--devices", "2", "--count", "2", "--yes", "--interval", "1"}, &out, &err), 0);
  EXPECT_EQ(Values(f.Path() + "/DB/Record 2.mdb").size(), 6u);
}

TEST(LogCommand, SeveralMetersSaveIntoConsecutiveRecords) {
  TempFolder f;
  QDir(f.Path()).mkdir("DB");
  QString out, err;
  ASSERT_EQ(Log(f, {"--record", "5", "--devices", "1,2", "--count", "3", "--interval", "1"}, &out, &err), 0)
      << err.toStdString();
  EXPECT_EQ(out.split('\n', Qt::SkipEmptyParts).size(), 3);
  EXPECT_EQ(Values(f.Path() + "/DB/Record 5.mdb").size(), 3u);
  EXPECT_EQ(Values(f.Path() + "/DB/Record 6.mdb").size(), 3u);
}

TEST(LogCommand, MissingFolderAndUnknownLineRefuseTheStart) {
  TempFolder f;
  QString out, err;
  // No DB folder: the record store's message, and the run does not start.
  EXPECT_EQ(Log(f, {"--record", "1", "--count", "1"}, &out, &err), 1);
  EXPECT_TRUE(err.contains("Database working folder not found.")) << err.toStdString();
  EXPECT_EQ(Log(f, {"--record", "1", "--devices", "9", "--count", "1"}, &out, &err), 1);
}

}  // namespace
