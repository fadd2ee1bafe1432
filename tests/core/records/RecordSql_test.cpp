#include "core/records/RecordSql.h"

#include <gtest/gtest.h>

#include <vector>

#include "RecordTestSupport.h"
#include "core/records/RecordAppender.h"

namespace merilog {
namespace {

using test::At;

struct Reading {
  double value, value2nd;
  QTime time;
};
const std::vector<Reading> kReadings = {
    {1.5, kNoSecondValue, QTime(10, 15, 2, 125)},
    {-0.5, 0.005, QTime(10, 15, 2, 150)},
    {kOverloadValue, kNoSecondValue, QTime(10, 15, 2, 175)},
    {0.0, -2.0, QTime(10, 15, 2, 200)},
    {4.75, 3.0, QTime(10, 15, 2, 225)},
};

// Every SQL text of the record operations and dialogs, run word for word on a
// session record and on a burst record (which lacks read_func2).
class RecordSqlTest : public test::RecordFolderFixture, public ::testing::WithParamInterface<bool> {
 protected:
  void SetUp() override {
    test::RecordFolderFixture::SetUp();
    test::MakeRecord(RecordPath(1), GetParam(), At(2024, 3, 5, 14, 3, 27), "DCV", "ACV");
    auto a = RecordAppender::Open(RecordPath(1));
    ASSERT_TRUE(a.ok()) << test::Std(a.error());
    for (const Reading& r : kReadings) ASSERT_TRUE(a.value()->Append(r.value, r.value2nd, r.time).ok());
    ASSERT_TRUE(a.value()->Close().ok());
    db_ = std::make_unique<SQLite::Database>(test::RawOpen(RecordPath(1), SQLite::OPEN_READONLY));
  }
  std::unique_ptr<SQLite::Database> db_;
};

TEST_P(RecordSqlTest, RowsInWrittenOrderDateFunctionAndCursorJoin) {
  SQLite::Statement q(*db_, record_sql::kSelectRead);
  SQLite::Statement joined(*db_, record_sql::kSelectReadWithDate);
  EXPECT_EQ(q.getColumnCount(), GetParam() ? 5 : 4);
  size_t i = 0;
  for (; q.executeStep(); ++i) {
    ASSERT_LT(i, kReadings.size());
    EXPECT_EQ(q.getColumn("read_value").getDouble(), kReadings[i].value);
    EXPECT_EQ(q.getColumn("read_value_2ND").getDouble(), kReadings[i].value2nd);
    EXPECT_EQ(q.getColumn("read_time").getString(), FormatReadTime(kReadings[i].time).data());
    EXPECT_TRUE(q.getColumn("read_func").isNull());
    ASSERT_TRUE(joined.executeStep());
    EXPECT_EQ(joined.getColumn("read_value").getDouble(), kReadings[i].value);
    EXPECT_EQ(joined.getColumn("r_date").getString(), "2024-03-05 14:03:27");
  }
  EXPECT_EQ(i, kReadings.size());
  EXPECT_FALSE(joined.executeStep());
  SQLite::Statement d(*db_, record_sql::kSelectReadDate);
  ASSERT_TRUE(d.executeStep());
  EXPECT_EQ(d.getColumn("r_date").getString(), "2024-03-05 14:03:27");
  EXPECT_FALSE(d.executeStep());
  SQLite::Statement f(*db_, record_sql::kSelectReadFunction);
  ASSERT_TRUE(f.executeStep());
  EXPECT_EQ(f.getColumn("r_function1").getString() + f.getColumn("r_function2").getString(), "DCVACV");
}

TEST_P(RecordSqlTest, ViewerStatisticsAndCounts) {
  SQLite::Statement v(*db_, record_sql::kValueFigures);
  ASSERT_TRUE(v.executeStep());
  EXPECT_EQ(v.getColumn("sum_num").getInt(), 5);
  EXPECT_EQ(v.getColumn("max_num").getDouble(), kOverloadValue);
  EXPECT_EQ(v.getColumn("min_num").getDouble(), -0.5);
  EXPECT_DOUBLE_EQ(v.getColumn("avg_num").getDouble(), (1.5 - 0.5 + kOverloadValue + 0.0 + 4.75) / 5);
  SQLite::Statement s(*db_, record_sql::kValue2ndFigures);
  ASSERT_TRUE(s.executeStep());
  EXPECT_EQ(s.getColumn("sum_num").getInt(), 5);  // the markers count
  EXPECT_EQ(s.getColumn("max_num").getDouble(), kNoSecondValue);
  EXPECT_EQ(s.getColumn("min_num").getDouble(), -2.0);
  EXPECT_EQ(db_->execAndGet(record_sql::kValueCount).getInt(), 5);
  SQLite::Statement c(*db_, record_sql::kChartCount);
  ASSERT_TRUE(c.executeStep());
  EXPECT_EQ(c.getColumn("sum_num").getInt(), 5);
  EXPECT_EQ(c.getColumn("min_num").getDouble(), -2.0);
}

TEST_P(RecordSqlTest, BandFilterAndChartColumnsKeepTableOrder) {
  const QString sql = record_sql::BandFilter(5.0, 0.0);
  EXPECT_EQ(test::Std(sql),
            "select * from read where read_value <= 5.0000000000000000 and read_value >= 0.0000000000000000");
  SQLite::Statement q(*db_, sql.toStdString());
  std::vector<double> got;
  while (q.executeStep()) got.push_back(q.getColumn("read_value").getDouble());
  EXPECT_EQ(got, (std::vector<double>{1.5, 0.0, 4.75}));
  for (bool second : {false, true}) {
    SQLite::Statement c(*db_, second ? record_sql::kSelectValues2nd : record_sql::kSelectValues);
    EXPECT_EQ(c.getColumnCount(), 1);
    size_t i = 0;
    for (; c.executeStep(); ++i)
      EXPECT_EQ(c.getColumn(0).getDouble(), second ? kReadings[i].value2nd : kReadings[i].value);
    EXPECT_EQ(i, kReadings.size());
  }
}

INSTANTIATE_TEST_SUITE_P(SessionAndBurstRecords, RecordSqlTest, ::testing::Bool());

}  // namespace
}  // namespace merilog
