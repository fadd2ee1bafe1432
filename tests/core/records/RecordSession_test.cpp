#include "core/records/RecordSession.h"

#include <gtest/gtest.h>

#include <QFileInfo>
#include <functional>
#include <map>

#include "RecordTestSupport.h"
#include "core/base/Clock.h"
#include "core/records/RecordList.h"
#include "core/records/RecordSchema.h"
#include "core/records/RecordVerdict.h"
#include "support/PrintQString.h"
#include "support/ScriptedPrompter.h"

namespace merilog {
namespace {

using test::At;
using test::Std;

std::map<std::string, std::string> ColumnTypes(SQLite::Database& db, const char* table) {
  std::map<std::string, std::string> types;
  SQLite::Statement q(db, std::string("PRAGMA table_info(") + table + ")");
  while (q.executeStep()) types[q.getColumn(1).getString()] = q.getColumn(2).getString();
  return types;
}

class RecordFileTest : public test::RecordFolderFixture {};

TEST_F(RecordFileTest, CreateMakesThreeEmptyTablesWithTheirColumnsAndTypes) {
  ASSERT_TRUE(CreateRecordFile(RecordPath(1), true).ok());
  ASSERT_TRUE(CreateRecordFile(RecordPath(2), false).ok());
  auto session = test::RawOpen(RecordPath(1), SQLite::OPEN_READONLY);
  auto burst = test::RawOpen(RecordPath(2), SQLite::OPEN_READONLY);

  using Types = std::map<std::string, std::string>;
  Types read{
      {"read_value", "DOUBLE"}, {"read_value_2ND", "DOUBLE"}, {"read_time", "TEXT(100)"}, {"read_func", "TEXT(20)"}};
  EXPECT_EQ(ColumnTypes(burst, "read"), read);
  read["read_func2"] = "TEXT(20)";  // a session's record alone
  EXPECT_EQ(ColumnTypes(session, "read"), read);
  for (auto* db : {&session, &burst}) {
    EXPECT_EQ(ColumnTypes(*db, "read_date"), (Types{{"r_date", "DATETIME"}}));
    EXPECT_EQ(ColumnTypes(*db, "read_function"), (Types{{"r_function1", "TEXT(20)"}, {"r_function2", "TEXT(20)"}}));
    // Besides the record's three tables, only the summary this program keeps (born right: no pass ever needed).
    EXPECT_EQ(db->execAndGet("SELECT group_concat(name) FROM (SELECT name FROM sqlite_master WHERE type='table' "
                             "ORDER BY name)")
                  .getString(),
              "read,read_date,read_function,read_pyramid,read_summary,sqlite_sequence");
    EXPECT_TRUE(record_schema::Intact(*db));
    for (const char* t : {"read", "read_date", "read_function"})
      EXPECT_EQ(db->execAndGet(std::string("SELECT count(*) FROM ") + t).getInt(), 0) << t;
    EXPECT_EQ(db->execAndGet("PRAGMA journal_mode").getString(), "delete");  // the log only while written
  }
  // Nothing of the building step is left beside the records.
  EXPECT_EQ(QDir(folder_).entryList(QDir::Files | QDir::Hidden), QStringList({"Record 1.mdb", "Record 2.mdb"}));
  // An existing file is never created over.
  EXPECT_FALSE(CreateRecordFile(RecordPath(1), true).ok());

  // Writers keep a log and sync fully, so a committed reading survives a power cut.
  auto writer = RecordDatabase::Open(RecordPath(1), RecordDatabase::Access::Write);
  ASSERT_TRUE(writer.ok());
  EXPECT_EQ(writer.value()->Sql().execAndGet("PRAGMA journal_mode").getString(), "wal");
  EXPECT_EQ(writer.value()->Sql().execAndGet("PRAGMA synchronous").getInt(), 2);
}

// The session start's cases, as CheckRecord, the verdict and PrepareRecord see them.
class RecordSessionTest : public test::RecordFolderFixture {
 protected:
  RecordCheck Check(int n) { return CheckRecord(n, prompter_, continuation_); }
  void Prepare(int n, const char* f1, const char* f2) {
    auto a = PrepareRecord(n, f1, f2, prompter_, clock_);
    ASSERT_TRUE(a.ok()) << Std(a.error());
    ASSERT_TRUE(a.value()->Append(1.25, kNoSecondValue, QTime(10, 15, 2, 125)).ok());
    ASSERT_TRUE(a.value()->Close().ok());
  }

  test::ScriptedPrompter prompter_;
  FixedClock clock_{At(2024, 3, 5, 14, 3, 27, 45)};
  QString continuation_;
};

TEST_F(RecordSessionTest, NewNumberIsPreparedWithoutAQuestion) {
  const RecordVerdict v = DecideRecordVerdict(Check(4), "DCV", "ACV", kCheckPassed);
  EXPECT_EQ(v.action, RecordVerdict::Action::Prepare);
  EXPECT_FALSE(v.blocked);
  EXPECT_TRUE(continuation_.isEmpty());

  Prepare(4, "VOLT", "VOLT:AC");
  auto db = test::RawOpen(RecordPath(4), SQLite::OPEN_READONLY);
  EXPECT_EQ(db.execAndGet("SELECT r_date FROM read_date").getString(), "2024-03-05 14:03:27");
  SQLite::Statement f(db, "select * from read_function");
  ASSERT_TRUE(f.executeStep());
  EXPECT_EQ(f.getColumn("r_function1").getString(), "DCV");
  EXPECT_EQ(f.getColumn("r_function2").getString(), "ACV");
  SQLite::Statement r(db, "select * from read");
  ASSERT_TRUE(r.executeStep());
  EXPECT_EQ(r.getColumn("read_value").getDouble(), 1.25);
  EXPECT_EQ(r.getColumn("read_value_2ND").getDouble(), 9.9E+21);
  EXPECT_EQ(r.getColumn("read_time").getString(), "10:15:02:125");
  EXPECT_TRUE(r.getColumn("read_func2").isNull());
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(RecordSessionTest, MatchingFunctionsAskToContinueAndAppendAfterTheOldRows) {
  Prepare(2, "VOLT", "NONE");
  clock_.Set(At(2024, 3, 7, 8, 0, 0));
  const RecordCheck c = Check(2);
  EXPECT_EQ(Std(continuation_), "Record 2");
  EXPECT_EQ(DecideRecordVerdict(c, "DCV", "NONE", kCheckPassed).action, RecordVerdict::Action::AskToContinue);
  // With an earlier meter refused nothing is asked.
  const RecordVerdict later = DecideRecordVerdict(c, "DCV", "NONE", kFunctionChanged);
  EXPECT_TRUE(later.action == RecordVerdict::Action::None && later.blocked);

  Prepare(2, "VOLT", "NONE");
  EXPECT_EQ(test::RowCount(RecordPath(2)), 2);
  auto db = test::RawOpen(RecordPath(2), SQLite::OPEN_READONLY);
  EXPECT_EQ(db.execAndGet("SELECT r_date FROM read_date").getString(), "2024-03-07 08:00:00");
  // The date and functions are edited in place, never added twice.
  EXPECT_EQ(db.execAndGet("SELECT (SELECT count(*) FROM read_date) + (SELECT count(*) FROM read_function)").getInt(),
            2);
}

TEST_F(RecordSessionTest, ChangedFunctionsAreRefusedWithTheirMessages) {
  Prepare(1, "VOLT", "VOLT:AC");
  const RecordCheck c = Check(1);

  const std::tuple<const char*, const char*, int, const char*> cases[] = {
      {"ACV", "ACV", kFunctionChanged, "Function has changed from DCV to ACV. Please select a different record."},
      {"DCV", "FREQ", kSecondFunctionChanged,
       "2ND Function has changed from ACV to FREQ. Please select a different record."},
      {"2W", "NONE", kBothChanged,
       "Function has changed from DCV to 2W. 2ND Function has changed from ACV to NONE. Please select a different "
       "record."},
  };
  for (const auto& [f1, f2, state, message] : cases) {
    const RecordVerdict v = DecideRecordVerdict(c, f1, f2, kCheckPassed);
    EXPECT_EQ(v.state, state);
    EXPECT_TRUE(v.blocked);
    EXPECT_EQ(v.action, RecordVerdict::Action::None);
    EXPECT_EQ(Std(v.message), message);
  }
}

// A DBfile file alone holds readings (its message comes once all meters are
// examined); a record without a function row is judged like a new number.
TEST_F(RecordSessionTest, OnlyADbfileFileIsRefusedAndARecordWithoutFunctionsIsNew) {
  test::MakeRecord(DbfilePath(5), false, At(2023, 1, 1, 0, 0, 0), "DCV", "NONE");
  const RecordVerdict v = DecideRecordVerdict(Check(5), "DCV", "NONE", kCheckPassed);
  EXPECT_EQ(v.state, kRecordHasReadings);
  EXPECT_TRUE(v.blocked && v.message.isEmpty());
  EXPECT_FALSE(QFileInfo::exists(RecordPath(5)));

  test::MakeRecord(RecordPath(6), true, At(2023, 1, 1, 0, 0, 0));
  const RecordCheck c = Check(6);
  EXPECT_EQ(DecideRecordVerdict(c, "DCV", "NONE", kCheckPassed).action, RecordVerdict::Action::Prepare);
  const RecordVerdict later = DecideRecordVerdict(c, "DCV", "NONE", kSecondFunctionChanged);
  EXPECT_EQ(later.state, kBothChanged);
  EXPECT_TRUE(later.blocked && later.message.isEmpty());
}

TEST_F(RecordSessionTest, UnreadableRecordBlocksWithItsErrorAndMissingFolderStopsQuietly) {
  test::WriteBytes(RecordPath(3), QByteArray(4096, 'x'));
  const RecordCheck c = Check(3);
  EXPECT_TRUE(c.error.contains("Record 3.mdb")) << Std(c.error);
  const RecordVerdict v = DecideRecordVerdict(c, "DCV", "NONE", kCheckPassed);
  EXPECT_TRUE(v.blocked);
  EXPECT_EQ(v.message, c.error);

  ASSERT_TRUE(QDir::setCurrent(base_));
  ASSERT_TRUE(QDir(folder_).removeRecursively());
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  const RecordCheck none = Check(3);
  EXPECT_FALSE(none.folderFound);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(Std(prompter_.shown[0].caption), "Database folder check");
  EXPECT_TRUE(DecideRecordVerdict(none, "DCV", "NONE", kCheckPassed).blocked);
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  auto a = PrepareRecord(3, "VOLT", "NONE", prompter_, clock_);
  EXPECT_FALSE(a.ok());
  EXPECT_TRUE(a.error().isEmpty());
  EXPECT_FALSE(QFileInfo::exists(folder_));
}

// Whenever no run writes, the folder holds the record files and nothing else:
// readers make no side files, and a closing writer takes its own away.
TEST_F(RecordSessionTest, FolderHoldsOnlyRecordFilesWhenNobodyWrites) {
  test::MakeRecord(RecordPath(1), true, At(2024, 1, 2, 3, 4, 5), "DCV", "NONE");
  {  // a record left in log mode by an older program
    auto old = test::RawOpen(RecordPath(3), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    old.exec("CREATE TABLE read (read_value DOUBLE, read_value_2ND DOUBLE, read_time TEXT(100), read_func TEXT(20))");
    old.exec("CREATE TABLE read_date (r_date DATETIME)");
    old.exec("CREATE TABLE read_function (r_function1 TEXT(20), r_function2 TEXT(20))");
    old.exec("PRAGMA journal_mode=WAL");
  }
  const std::pair<const char*, std::function<void()>> steps[] = {
      {"a new record and an old one written",
       [&] {
         Prepare(2, "VOLT", "NONE");
         Prepare(3, "VOLT", "NONE");
       }},
      {"listing", [&] { EXPECT_TRUE(ListRecords(RecordListKind::Viewer, folder_).problems.isEmpty()); }},
      {"record check", [&] { EXPECT_EQ(Std(Check(1).storedFunction1), "DCV"); }},
      {"continuing a record", [&] { Prepare(1, "VOLT", "NONE"); }},
      {"a refused second writer",
       [&] {
         auto first = PrepareRecord(2, "VOLT", "NONE", prompter_, clock_);
         ASSERT_TRUE(first.ok());
         EXPECT_FALSE(PrepareRecord(2, "VOLT", "NONE", prompter_, clock_).ok());
         Check(2);
         ListRecords(RecordListKind::Viewer, folder_);
         EXPECT_TRUE(first.value()->Close().ok());
       }},
  };
  for (const auto& [what, step] : steps) {
    SCOPED_TRACE(what);
    step();
    EXPECT_EQ(QDir(folder_).entryList(QDir::Files | QDir::Hidden | QDir::System),
              QStringList({"Record 1.mdb", "Record 2.mdb", "Record 3.mdb"}));
  }
}

}  // namespace
}  // namespace merilog
