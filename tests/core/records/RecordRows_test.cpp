#include "core/records/RecordRows.h"

#include <gtest/gtest.h>

#include "RecordTestSupport.h"
#include "support/RecordFiles.h"

namespace merilog {
namespace {

class RecordRowsTest : public test::RecordFolderFixture {};

// Rows reached by position, in table order, on a record as the program writes
// it (numbered without gaps, proved by its summary) and on one whose rows were
// thinned out by another program (indexed by a pass over them).
TEST_F(RecordRowsTest, PositionsFollowTableOrderWithAndWithoutGaps) {
  std::vector<test::Reading> readings;
  for (int i = 0; i < 10000; ++i) readings.push_back({static_cast<double>(i), i % 2 ? 0.5 : kNoSecondValue});
  test::WriteRecord(RecordPath(1), readings);
  test::WriteRecord(RecordPath(2), readings);
  {
    auto raw = test::RawOpen(RecordPath(2));
    raw.exec("DELETE FROM read WHERE rowid % 3 = 0 OR rowid < 5");
  }
  // Record 2 keeps the readings whose row id (value + 1) is not a multiple of 3, from value 4 on.
  std::vector<double> kept;
  for (int i = 4; i < 10000; ++i)
    if ((i + 1) % 3 != 0) kept.push_back(i);

  for (int n : {1, 2}) {
    SCOPED_TRACE(n);
    auto db = RecordDatabase::Open(RecordPath(n), RecordDatabase::Access::Read);
    ASSERT_TRUE(db.ok());
    auto index = RecordIndex::Open(*db.value());
    ASSERT_TRUE(index.ok());
    const std::vector<double> expected = n == 1 ? std::vector<double>(10000) : kept;
    const long long rows = static_cast<long long>(expected.size());
    EXPECT_EQ(index->RowCount(), rows);
    auto value = [&](long long position) { return n == 1 ? static_cast<double>(position) : kept[position]; };
    // Around the index's anchors, and the last row.
    for (long long position : {0LL, 1LL, 4095LL, 4096LL, 4097LL, 6000LL, rows - 1}) {
      auto one = ReadRecordRows(*db.value(), index.value(), position, 1);
      ASSERT_TRUE(one.ok() && one->size() == 1) << position;
      EXPECT_EQ(one->front().value, value(position)) << position;
    }
    auto tail = ReadRecordRows(*db.value(), index.value(), rows - 2, 5);
    ASSERT_TRUE(tail.ok());
    EXPECT_EQ(tail->size(), 2u);
    EXPECT_TRUE(ReadRecordRows(*db.value(), index.value(), rows, 5)->empty());

    std::vector<double> scanned;
    ASSERT_TRUE(ScanRecordColumn(*db.value(), index.value(), RecordColumn::Value, 4000, 300, [&](double v, bool) {
                  scanned.push_back(v);
                  return true;
                }).ok());
    ASSERT_EQ(scanned.size(), 300u);
    for (size_t i = 0; i < scanned.size(); ++i) ASSERT_EQ(scanned[i], value(4000 + static_cast<long long>(i)));
    // A visitor that has seen enough stops the pass.
    int visits = 0;
    ASSERT_TRUE(ScanRecordColumn(*db.value(), index.value(), RecordColumn::Value2nd, 0, rows, [&](double, bool) {
                  return ++visits < 10;
                }).ok());
    EXPECT_EQ(visits, 10);
  }
}

}  // namespace
}  // namespace merilog
