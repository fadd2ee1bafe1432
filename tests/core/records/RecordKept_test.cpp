#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <climits>
#include <random>

#include "RecordTestSupport.h"
#include "core/records/RecordCsv.h"
#include "core/records/RecordFileClaim.h"
#include "core/records/RecordIndex.h"
#include "core/records/RecordRows.h"
#include "core/records/RecordSchema.h"
#include "core/recordview/RecordChartTrace.h"
#include "support/RecordFiles.h"

namespace merilog {
namespace {

using test::Shell;
using test::Std;

class RecordKeptTest : public test::RecordFolderFixture {
 protected:
  // Opens the record as the viewer does, and holds every figure, the row count
  // and every row by position against plain SQL on the file as it is.
  void ExpectTheRecordsOwn(const QString& path, bool scanned) {
    auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
    ASSERT_TRUE(db.ok()) << Std(db.error());
    auto index = RecordIndex::Open(*db.value());
    ASSERT_TRUE(index.ok()) << Std(index.error());
    EXPECT_EQ(index->Scanned(), scanned);
    auto kept = index->Figures(*db.value());
    auto sql = ReadRecordFiguresBySql(*db.value());
    ASSERT_TRUE(kept.ok() && sql.ok());
    EXPECT_EQ(kept->value, sql->value);
    EXPECT_EQ(kept->value2nd, sql->value2nd);
    const auto second = test::Query(path,
                                    "select count(read_value_2ND), max(read_value_2ND), min(read_value_2ND) from read "
                                    "where read_value_2ND <> 9.9E+21")[0];
    EXPECT_EQ(kept->second.count, std::stoll(second[0]));

    std::vector<RecordRow> table;
    {
      auto raw = test::RawOpen(path, SQLite::OPEN_READONLY);
      SQLite::Statement q(raw, "select * from read");
      auto value = [](const SQLite::Column& c) { return c.isNull() ? std::nullopt : std::optional(c.getDouble()); };
      while (q.executeStep())
        table.push_back({value(q.getColumn("read_value")), value(q.getColumn("read_value_2ND")),
                         QString::fromStdString(q.getColumn("read_time").getString())});
    }
    ASSERT_EQ(index->RowCount(), static_cast<long long>(table.size()));
    auto rows = ReadRecordRows(*db.value(), index.value(), 0, static_cast<int>(table.size()) + 5);
    ASSERT_TRUE(rows.ok());
    ASSERT_EQ(rows->size(), table.size());
    for (size_t i = 0; i < table.size(); ++i) {
      const RecordRow& r = rows.value()[i];
      EXPECT_TRUE(r.value == table[i].value && r.value2nd == table[i].value2nd && r.time == table[i].time) << i;
    }
    // Positions reached one by one, as a page or the cursor reaches them.
    for (size_t i = 0; i < table.size(); i += 61) {
      auto one = ReadRecordRows(*db.value(), index.value(), static_cast<long long>(i), 1);
      ASSERT_TRUE(one.ok() && one->size() == 1) << i;
      EXPECT_EQ(one->front().time, table[i].time) << i;
    }
  }

  // A record of `rows` readings written by another program, without our tables.
  void WriteForeignRecord(const QString& path, int rows) {
    auto db = test::RawOpen(path, SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
    db.exec(
        "CREATE TABLE read (read_value DOUBLE, read_value_2ND DOUBLE, read_time TEXT(100), read_func TEXT(20));"
        "CREATE TABLE read_date (r_date DATETIME); CREATE TABLE read_function (r_function1 TEXT, r_function2 TEXT);"
        "INSERT INTO read_date VALUES ('2024-03-05 14:03:27');");
    SQLite::Transaction txn(db);
    SQLite::Statement insert(db, "INSERT INTO read (read_value, read_value_2ND, read_time) VALUES (?, ?, ?)");
    for (int i = 0; i < rows; ++i) {
      insert.bind(1, std::sin(i / 50.0) + (i % 1000 == 0 ? 1e38 : 0.0));
      insert.bind(2, i % 3 ? 0.25 * i : kNoSecondValue);
      insert.bind(3, std::to_string(i));
      insert.exec();
      insert.reset();
    }
    txn.commit();
  }
};

// Whatever another program does to a record (here the sqlite3 shell), the
// next opening shows the record's own figures, rows and pages, reading the
// rows once where it must; the opening after that reads none.
TEST_F(RecordKeptTest, FiguresFollowEveryChangeOfAnotherProgram) {
  std::vector<test::Reading> readings;
  for (int i = 0; i < 5000; ++i) readings.push_back({static_cast<double>(i % 20), i % 7 ? 0.5 * i : kNoSecondValue});
  const QString path = RecordPath(1);
  test::WriteRecord(path, readings);
  ExpectTheRecordsOwn(path, false);
  const char* changes[] = {
      "UPDATE read SET read_value = 100 WHERE rowid = 3",
      "DELETE FROM read WHERE rowid = 7",
      "INSERT INTO read (read_value, read_value_2ND, read_time) VALUES (-3, 1, 'appended')",
      "INSERT INTO read (rowid, read_value, read_value_2ND, read_time) VALUES (7, 55, 2, 'into the gap')",
      "INSERT INTO read (rowid, read_value, read_time) VALUES (-1, 5, 'below the first')",
      "DELETE FROM read WHERE rowid = -1",
      "REPLACE INTO read (rowid, read_value, read_time) VALUES ((SELECT max(rowid) FROM read), 77, 'replaced')",
      "UPDATE read SET rowid = rowid + 100000 WHERE rowid > 4000",
      "VACUUM",
      "DROP TABLE read_summary",
      "DROP TABLE read_pyramid",
      "UPDATE read_summary SET value_count = -5, value_max = 1e300",
      "DELETE FROM read_pyramid WHERE level = 2",
      "DROP TRIGGER read_change_update; UPDATE read SET read_value = 1e6 WHERE rowid = 9",
      "DELETE FROM sqlite_sequence; UPDATE read SET read_value_2ND = NULL WHERE rowid = 10",
      "DELETE FROM read WHERE rowid > 300",
      "DELETE FROM read",
  };
  const QString scratch = temp_->File("scratch.mdb");
  for (const char* change : changes) {
    SCOPED_TRACE(change);
    Shell(path, change);
    ExpectTheRecordsOwn(path, true);
    // Kept in the file as a first reader of the record as it stands keeps it.
    EXPECT_EQ(test::KeptTables(path), test::FreshTables(path, scratch));
    // A row id below zero lets a new row land in a gap unseen: that record is read at each opening.
    ExpectTheRecordsOwn(path, std::string(change).find("(-1,") != std::string::npos);
  }
  // The example: a ramp of 20, one value raised by another program.
  const QString ramp = RecordPath(2);
  std::vector<test::Reading> twenty;
  for (int i = 1; i <= 20; ++i) twenty.push_back({static_cast<double>(i)});
  test::WriteRecord(ramp, twenty);
  Shell(ramp, "UPDATE read SET read_value=100 WHERE rowid=3");
  auto db = RecordDatabase::Open(ramp, RecordDatabase::Access::Read);
  EXPECT_EQ(ReadRecordFigures(*db.value())->value.max, 100.0);
}

// A record another program wrote is read in one pass and kept, so the next
// opening reads nothing; a record that may not be written is read each time,
// and so is one whose writer holds it.
TEST_F(RecordKeptTest, AForeignRecordIsReadOnceAndKeptWhereItMayBeWritten) {
  WriteForeignRecord(RecordPath(1), 20000);
  ExpectTheRecordsOwn(RecordPath(1), true);
  ExpectTheRecordsOwn(RecordPath(1), false);
  auto kept = test::RawOpen(RecordPath(1), SQLite::OPEN_READONLY);
  EXPECT_TRUE(record_schema::Intact(kept));

  WriteForeignRecord(RecordPath(2), 20000);
  {
    auto writer = RecordFileClaim::Take(RecordPath(2), RecordFileClaim::Use::Write);
    ASSERT_TRUE(writer.ok());
    ExpectTheRecordsOwn(RecordPath(2), true);
    ExpectTheRecordsOwn(RecordPath(2), true);
  }
  ExpectTheRecordsOwn(RecordPath(2), true);
  ExpectTheRecordsOwn(RecordPath(2), false);

  // Read-only: as a user who may not write it sees it.
  WriteForeignRecord(RecordPath(3), 20000);
  ASSERT_EQ(chmod(QFile::encodeName(RecordPath(3)).constData(), 0444), 0);
  test::HandOverToNobody(base_);
  const test::ChildResult child = test::RunInChild(
      [this](std::string& out) {
        for (int i = 0; i < 2; ++i) {
          auto db = RecordDatabase::Open(RecordPath(3), RecordDatabase::Access::Read);
          auto index = db ? RecordIndex::Open(*db.value()) : RecordResult<RecordIndex>::Failure(db.error());
          if (!index) return out = Std(index.error()), 1;
          out += std::to_string(index->RowCount()) + (index->Scanned() ? " scanned" : "") +
                 (index->KeptInFile() ? " kept" : "") + ";";
        }
        return 0;
      },
      true);
  EXPECT_EQ(child.exitCode, 0);
  EXPECT_EQ(child.output, "20000 scanned;20000 scanned;");
}

// Nothing the file says sizes a loop before it is checked against the file:
// a summary claiming 4 x 10^12 readings, or holding garbage, is not believed.
TEST_F(RecordKeptTest, AForgedOrGarbageSummaryIsNotBelieved) {
  WriteForeignRecord(RecordPath(1), 2);
  {
    // The summary of the program's first layout, forged to claim rows 1 to 4 x 10^12.
    auto db = test::RawOpen(RecordPath(1));
    db.exec("UPDATE read SET rowid = 4000000000000 WHERE rowid = 2");
    db.exec(
        "CREATE TABLE read_summary (last_rowid INTEGER, value_count INTEGER, value_sum DOUBLE, value_max DOUBLE, "
        "value_min DOUBLE, value2_count INTEGER, value2_sum DOUBLE, value2_max DOUBLE, value2_min DOUBLE)");
    db.exec("INSERT INTO read_summary VALUES (4000000000000, 4000000000000, 1, 1, 1, 4000000000000, 1, 1, 1)");
  }
  auto db = RecordDatabase::Open(RecordPath(1), RecordDatabase::Access::Read);
  auto index = RecordIndex::Open(*db.value());
  ASSERT_TRUE(index.ok());
  EXPECT_EQ(index->RowCount(), 2);
  db.value().reset();

  // The same claims in the present layout, with the change counter matched as if no program had
  // touched it (the forger turned the triggers off): counts the file cannot hold.
  const char* forgeries[] = {
      "UPDATE read_summary SET row_count = 4000000000000, value_count = 4000000000000, value2_count = "
      "4000000000000",
      "UPDATE read_summary SET value_count = -5",
      "UPDATE read_summary SET value_max = 'garbage'",
      "UPDATE read_summary SET first_rowid = 2",
      "INSERT INTO read_summary (id) VALUES (2)",
  };
  for (const char* forgery : forgeries) {
    SCOPED_TRACE(forgery);
    ASSERT_TRUE(KeepRecordSummary(RecordPath(1)));
    {
      auto raw = test::RawOpen(RecordPath(1));
      record_schema::DisableTriggers(raw);
      raw.exec(forgery);
    }
    ExpectTheRecordsOwn(RecordPath(1), true);
  }
}

// Row ids from the least to the greatest an engine allows: the span between
// them is counted without overflow. Such a record is read each time: a row
// another program adds may land anywhere among them.
TEST_F(RecordKeptTest, RowIdsAtBothEndsOfTheirRange) {
  test::MakeRecord(RecordPath(1), true, test::At(2024, 3, 5, 14, 3, 27));
  test::RawOpen(RecordPath(1))
      .exec(
          "INSERT INTO read (rowid, read_time) VALUES (-9223372036854775808, 'first'), "
          "(9223372036854775807, 'last')");
  ExpectTheRecordsOwn(RecordPath(1), true);
  test::Shell(RecordPath(1), "INSERT INTO read (read_time) VALUES ('anywhere')");
  ExpectTheRecordsOwn(RecordPath(1), true);
}

// A record that shrinks while it is read (another program truncates it, or a
// copy lands on it) ends each read with the damaged-file message, never a
// crash. Each read runs in a child process, so a fault shows as a failed exit.
TEST_F(RecordKeptTest, ARecordCutShortDuringAReadEndsWithAMessage) {
  // More than the engine's page cache holds, so that the read must go back to the file.
  WriteForeignRecord(RecordPath(1), 200000);
  const QString path = RecordPath(1), copy = temp_->File("copy.mdb");
  ASSERT_TRUE(QFile::copy(path, copy));
  auto cut = [path] {
    // From another process, as a user's copy over the file would be.
    const pid_t pid = fork();
    if (pid == 0) _exit(truncate(QFile::encodeName(path).constData(), 4096) == 0 ? 0 : 1);
    int status = 0;
    waitpid(pid, &status, 0);
  };
  using Read = std::function<QString(RecordDatabase&)>;
  const struct {
    const char* what;
    Read read;
  } reads[] = {
      {"the first opening's pass",
       [&](RecordDatabase& db) {
         auto index = RecordIndex::Open(db, [&](long long, long long) { return cut(), true; });
         return index ? QString("read whole") : index.error();
       }},
      {"the chart's draw",
       [&](RecordDatabase& db) {
         auto index = RecordIndex::Open(db);
         if (!index) return index.error();
         const long long n = index->RowCount();
         const TracedGraph g = TraceRecordGraph(
             db, index.value(), RecordColumn::Value, 0, n, {n - 1, 1.0},
             [&](long long, long long) { return cut(), true; }, 1000);
         return g.status ? QString("drawn") : g.status.error;
       }},
      {"the export",
       [&](RecordDatabase& db) {
         const CsvExport e =
             WriteRecordCsv(db.Path(), temp_->File("out.csv"), "", [&](long long, long long) { return cut(), true; });
         return e.error;
       }},
  };
  for (const auto& r : reads) {
    SCOPED_TRACE(r.what);
    ASSERT_TRUE(QFile::remove(path) && QFile::copy(copy, path));
    if (std::string(r.what) != "the first opening's pass") {
      ASSERT_TRUE(KeepRecordSummary(path));
    }
    const test::ChildResult child = test::RunInChild(
        [&](std::string& out) {
          auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
          if (!db) return out = Std(db.error()), 1;
          out = Std(r.read(*db.value()));
          return 0;
        },
        false);
    EXPECT_EQ(child.exitCode, 0) << "the read crashed";
    EXPECT_NE(child.output.find("Record 1.mdb\" is damaged"), std::string::npos) << child.output;
  }
}

}  // namespace
}  // namespace merilog
