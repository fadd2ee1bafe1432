#include "core/records/RecordAppender.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>

#include "RecordTestSupport.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordIndex.h"
#include "core/records/RecordWriter.h"

namespace merilog {
namespace {

using test::Std;

class RecordAppenderTest : public test::RecordFolderFixture {
 protected:
  void SetUp() override {
    test::RecordFolderFixture::SetUp();
    test::MakeRecord(RecordPath(1), true);
  }
  std::unique_ptr<RecordAppender> OpenAppender(AppendPolicy policy = {}) {
    auto a = RecordAppender::Open(RecordPath(1), policy, [this] { return now_; });
    EXPECT_TRUE(a.ok()) << Std(a.error());
    return a.ok() ? std::move(a.value()) : nullptr;
  }
  // What another program sees: committed rows only.
  long long Visible() { return test::RowCount(RecordPath(1)); }
  RecordStatus Add(RecordAppender& a, double v) { return a.Append(v, kNoSecondValue, QTime(12, 0, 0, 1)); }

  qint64 now_ = 1000;
};

// A batch is committed 100 ms after its first reading (looked at on every
// append and by FlushIfDue), at 1000 rows, and on Flush and Close.
TEST_F(RecordAppenderTest, CommitsOnTimeOnCountAndOnFlushAndClose) {
  auto a = OpenAppender();
  now_ += 50;
  ASSERT_TRUE(Add(*a, 1).ok());
  EXPECT_EQ(a->MsUntilDue(), 50);
  ASSERT_TRUE(a->FlushIfDue().ok());
  EXPECT_EQ(Visible(), 0);
  now_ += 50;
  ASSERT_TRUE(a->FlushIfDue().ok());
  EXPECT_EQ(Visible(), 1);
  EXPECT_EQ(a->MsUntilDue(), -1);
  // A slow stream (one reading every two seconds) is committed reading by reading.
  now_ += 2000;
  ASSERT_TRUE(Add(*a, 2).ok());
  EXPECT_EQ(Visible(), 2);

  for (int i = 0; i < 999; ++i) ASSERT_TRUE(Add(*a, i).ok());
  EXPECT_EQ(Visible(), 2);
  ASSERT_TRUE(Add(*a, 999).ok());
  EXPECT_EQ(Visible(), 1002);
  ASSERT_TRUE(Add(*a, 7).ok());
  ASSERT_TRUE(a->Flush().ok());
  EXPECT_EQ(Visible(), 1003);
  ASSERT_TRUE(Add(*a, 7).ok());
  ASSERT_TRUE(a->Close().ok());
  EXPECT_EQ(Visible(), 1004);
  EXPECT_EQ(a->CommittedRows(), 1004);
  EXPECT_FALSE(Add(*a, 8).ok());  // closed
}

TEST_F(RecordAppenderTest, RefusedCommitKeepsTheRowsAndRetriesThem) {
  auto a = OpenAppender();
  auto other = test::RawOpen(RecordPath(1));
  other.exec("BEGIN IMMEDIATE");  // another program holds the write lock
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(Add(*a, i).ok());
  now_ += 100;
  RecordStatus s = Add(*a, 5);
  ASSERT_FALSE(s.ok());
  EXPECT_TRUE(s.error.contains("Record 1.mdb") && s.error.contains("in use by another program") &&
              s.error.contains("6 readings are not saved yet"))
      << Std(s.error);
  EXPECT_EQ(a->PendingRows(), 6);
  other.exec("ROLLBACK");

  ASSERT_TRUE(Add(*a, 6).ok());  // within 100 ms of the refusal: kept waiting
  EXPECT_EQ(a->PendingRows(), 7);
  now_ += 100;
  ASSERT_TRUE(a->FlushIfDue().ok());
  EXPECT_EQ(Visible(), 7);
  auto db = test::RawOpen(RecordPath(1), SQLite::OPEN_READONLY);
  SQLite::Statement q(db, "SELECT read_value FROM read");
  for (int i = 0; i < 7; ++i) {
    ASSERT_TRUE(q.executeStep());
    EXPECT_EQ(q.getColumn(0).getDouble(), i);
  }
}

// Rows held while the disk refuses them are capped; a Close that still cannot
// commit names the readings it loses, and a closed record takes nothing more.
TEST_F(RecordAppenderTest, PendingRowsBeyondTheLimitAndAFailedCloseAreCountedAsUnsaved) {
  AppendPolicy small;
  small.batchRows = 2;
  small.maxPendingRows = 4;
  auto a = OpenAppender(small);
  auto other = test::RawOpen(RecordPath(1));
  other.exec("BEGIN IMMEDIATE");
  EXPECT_TRUE(Add(*a, 0).ok());
  EXPECT_FALSE(Add(*a, 1).ok());  // batch due, refused: both kept
  EXPECT_TRUE(Add(*a, 2).ok());
  EXPECT_TRUE(Add(*a, 3).ok());
  RecordStatus refused = Add(*a, 4);
  ASSERT_FALSE(refused.ok());
  EXPECT_TRUE(refused.error.contains("cannot take more readings")) << Std(refused.error);
  EXPECT_EQ(a->PendingRows(), 4);
  EXPECT_EQ(a->UnsavedCount(), 5);

  RecordStatus s = a->Close();
  ASSERT_FALSE(s.ok());
  EXPECT_TRUE(s.error.contains("in use by another program") && s.error.contains("4 readings could not be saved"))
      << Std(s.error);
  EXPECT_EQ(a->UnsavedCount(), 5);
  RecordStatus closed = Add(*a, 5);
  EXPECT_TRUE(closed.error.contains("Record 1.mdb\" is closed")) << Std(closed.error);
  EXPECT_EQ(a->UnsavedCount(), 6);
  other.exec("ROLLBACK");
  EXPECT_EQ(Visible(), 0);
}

// A run's writer counts every reading not in the file: those still waiting
// when the last commit failed, and those refused because too many waited.
TEST_F(RecordAppenderTest, WriterCountsRefusedReadingsAsUnsaved) {
  AppendPolicy small;
  small.batchRows = 2;
  small.maxPendingRows = 4;
  RecordWriter writer({});
  const int record = writer.Adopt(OpenAppender(small));
  auto other = test::RawOpen(RecordPath(1));
  other.exec("BEGIN IMMEDIATE");
  std::vector<RecordWriter::Row> rows;
  for (int i = 0; i < 6; ++i) rows.push_back({record, static_cast<double>(i), kNoSecondValue, FormatReadTime(QTime())});
  writer.Append(rows);
  const RecordWriter::Closed closed = writer.CloseAll();
  other.exec("ROLLBACK");
  EXPECT_EQ(closed.unsaved, 6);
  EXPECT_TRUE(closed.error.contains("Record 1.mdb")) << Std(closed.error);
}

// The figures kept with each batch must equal the viewer's aggregate query;
// a record this program wrote opens without a pass over its rows.
RecordFigures ExpectFiguresAgree(const QString& path, bool scanned = false) {
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  EXPECT_TRUE(db.ok()) << Std(db.error());
  if (!db.ok()) return {};
  auto index = RecordIndex::Open(*db.value());
  auto sql = ReadRecordFiguresBySql(*db.value());
  EXPECT_TRUE(index.ok() && sql.ok()) << Std(index.error() + sql.error());
  if (!index.ok() || !sql.ok()) return {};
  EXPECT_EQ(index->Scanned(), scanned);
  auto kept = index->Figures(*db.value());
  EXPECT_EQ(kept->value, sql->value);
  EXPECT_EQ(kept->value2nd, sql->value2nd);
  return kept.value();
}

// Meters may answer +inf, -inf or NaN: NaN is stored as an empty cell and not
// counted, infinities count, and +inf with -inf leaves the average undefined for good.
TEST_F(RecordAppenderTest, FiguresOfEmptyInfiniteAndNanRecordsEqualTheSqlAggregates) {
  const double inf = std::numeric_limits<double>::infinity();
  const double nan = std::numeric_limits<double>::quiet_NaN();
  using Sessions = std::vector<std::vector<double>>;
  const struct {
    const char* what;
    Sessions sessions;
    std::optional<double> avg;  // after the last session; nullopt: undefined
  } cases[] = {
      {"no reading", {{}}, std::nullopt},
      {"both infinities, then a plain value", {{inf, -inf}, {5}}, std::nullopt},
      {"both infinities in two sessions", {{1, inf}, {2}, {-inf}, {3}}, std::nullopt},
      {"one infinity", {{inf}, {1, 2}}, inf},
      {"minus infinity", {{-inf, 3}, {4}}, -inf},
      {"NaN is not counted", {{nan, 1}, {nan, 3}}, 2.0},
      {"sums that overflow", {{1e308, 1e308}, {-1e308}}, inf},
  };
  int record = 1;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    const QString path = RecordPath(++record);
    test::MakeRecord(path, true);
    for (const auto& values : c.sessions) {
      auto a = RecordAppender::Open(path);
      ASSERT_TRUE(a.ok());
      for (double v : values) ASSERT_TRUE(a.value()->Append(v, -v, QTime(1, 2, 3)).ok());
      ASSERT_TRUE(a.value()->Close().ok());
      const RecordFigures f = ExpectFiguresAgree(path);
      if (&values == &c.sessions.back()) {
        EXPECT_EQ(f.value.avg, c.avg);
      }
    }
  }
}

// What the appender keeps, batch by batch and session by session (picking up
// its partly filled pyramid blocks at each start), is what one pass over the
// rows makes; rows another program appends are read once by the next reader,
// after which the appender keeps on.
TEST_F(RecordAppenderTest, KeptSummaryAndPyramidEqualOnePassOverTheRows) {
  std::mt19937 rng(7);
  std::uniform_real_distribution<double> d(-1000.0, 1000.0);
  AppendPolicy policy;
  policy.batchRows = 333;
  const QString scratch = temp_->File("scratch.mdb");
  for (int session = 0; session < 4; ++session) {
    if (session == 2) {
      test::Shell(RecordPath(1), "INSERT INTO read (read_value, read_value_2ND) VALUES (-5000, 1), (NULL, 2)");
      ExpectFiguresAgree(RecordPath(1), true);
      EXPECT_EQ(test::KeptTables(RecordPath(1)), test::FreshTables(RecordPath(1), scratch));
    }
    auto a = OpenAppender(policy);
    for (int i = 0; i < 2500; ++i) {
      double v = d(rng);
      if (i % 97 == 0) v = kOverloadValue;
      if (i % 89 == 0) v = 0.0;
      if (i % 401 == 7) v = std::numeric_limits<double>::quiet_NaN();  // stored as NULL
      const double v2 = i % 3 == 0 ? kNoSecondValue : d(rng);
      ASSERT_TRUE(a->Append(v, v2, QTime(1, 2, 3, i % 1000)).ok());
    }
    ASSERT_TRUE(a->Close().ok());
    ExpectFiguresAgree(RecordPath(1));
    EXPECT_EQ(test::KeptTables(RecordPath(1)), test::FreshTables(RecordPath(1), scratch));
  }
  const RecordFigures f = ExpectFiguresAgree(RecordPath(1));
  EXPECT_EQ(f.value.count, 10000 - 4 * 7 + 1);
  EXPECT_EQ(*f.value.max, kOverloadValue);
  EXPECT_EQ(*f.value2nd.max, kNoSecondValue);
  EXPECT_NE(test::KeptTables(RecordPath(1)).find("\n2,0,"), std::string::npos);  // a full block of 4096 rows
}

}  // namespace
}  // namespace merilog
