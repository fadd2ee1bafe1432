// Gaps in a record (a run that kept reading through a dropped meter): stored
// after the rows before them, said by the viewer, and the record chart's line
// broken over them.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/records/RecordAppender.h"
#include "core/records/RecordGaps.h"
#include "core/records/RecordTestSupport.h"
#include "core/recordview/RecordChartTrace.h"
#include "core/recordview/RecordViewerModel.h"
#include "support/RecordFiles.h"
#include "support/ScriptedPrompter.h"

namespace merilog {
namespace {

using test::At;

class RecordGapsTest : public test::RecordFolderFixture {
 protected:
  // Ten readings 0..9, then gaps after the rows given (the appender's own count).
  void WriteWithGaps(const std::vector<std::pair<int, long long>>& gapsAfterRowWithMs) {
    std::vector<test::Reading> readings;
    for (int i = 0; i < 10; ++i) readings.push_back({double(i)});
    QFile::remove(RecordPath(1));
    test::WriteRecord(RecordPath(1), {});
    auto a = RecordAppender::Open(RecordPath(1));
    ASSERT_TRUE(a.ok());
    int written = 0;
    for (const auto& [after, ms] : gapsAfterRowWithMs) {
      for (; written < after; ++written) ASSERT_TRUE(a.value()->Append(readings[written].value, kNoSecondValue, QTime(10, 0)).ok());
      RecordGap gap;
      gap.start = At(2024, 5, 6, 10, 0, 0);
      gap.end = gap.start.addMSecs(ms);
      gap.cause = "unplugged";
      ASSERT_TRUE(a.value()->AddGap(gap).ok());
    }
    for (; written < 10; ++written) ASSERT_TRUE(a.value()->Append(readings[written].value, kNoSecondValue, QTime(10, 0)).ok());
    ASSERT_TRUE(a.value()->Close().ok());
  }
};

TEST_F(RecordGapsTest, StoredAfterTheRowsBeforeItAndHarmlessToReaders) {
  WriteWithGaps({{4, 1500}, {7, 2000}});
  // The rows waiting for their commit went first: each gap names the last row before it.
  EXPECT_EQ(test::Query(RecordPath(1), "SELECT last_rowid, gap_start, gap_end, gap_cause FROM read_gap"),
            (std::vector<std::vector<std::string>>{{"4", "2024-05-06 10:00:00.000", "2024-05-06 10:00:01.500", "unplugged"},
                                                   {"7", "2024-05-06 10:00:00.000", "2024-05-06 10:00:02.000", "unplugged"}}));
  EXPECT_EQ(test::Query(RecordPath(1), "SELECT count(*) FROM read")[0][0], "10");
  auto db = RecordDatabase::Open(RecordPath(1), RecordDatabase::Access::Read);
  ASSERT_TRUE(db.ok()) << db.error().toStdString();
  EXPECT_EQ(RecordGaps::Describe(RecordGaps::Sum(RecordGaps::Load(db.value()->Sql()))), "2 gaps, 3.5 s in all");
  EXPECT_EQ(RecordGaps::DurationText(3723000), "1 h 02 min");
  EXPECT_EQ(RecordGaps::DurationText(125000), "2 min 05 s");
}

TEST_F(RecordGapsTest, TheViewerSaysHowManyAndHowLong) {
  test::EnsureEventLoop();
  test::ScriptedPrompter prompter;
  RecordViewerModel model(prompter, [this](Prompter&) { return std::optional(folder_); });
  const auto wait = [&] { ASSERT_TRUE(test::RunUntil([&] { return !model.Busy(); })); };
  WriteWithGaps({});
  test::WriteRecord(RecordPath(2), {{1.0}});
  model.Opening();
  wait();
  model.RecordSelected(0);
  wait();
  EXPECT_FALSE(model.View().gapFigures.shown);  // no table, nothing said
  WriteWithGaps({{4, 1500}, {7, 2000}});
  model.RecordSelected(1);
  wait();
  model.RecordSelected(0);
  wait();
  EXPECT_TRUE(model.View().gapFigures.shown);
  EXPECT_EQ(model.View().gapsText, "Gaps: 2 gaps, 3.5 s in all");
}

// With one reading per pixel column the full walk joins every neighbour; a gap
// after the fifth reading takes exactly the segment across it away.
TEST_F(RecordGapsTest, TheChartLineBreaksOverAGap) {
  const auto trace = [&](long long first, long long points) {
    auto db = RecordDatabase::Open(RecordPath(1), RecordDatabase::Access::Read);
    auto index = RecordIndex::Open(*db.value());
    const RecordChartMapping mapping{points - 1, 0.1};
    return TraceRecordGraph(*db.value(), index.value(), RecordColumn::Value, first, points, mapping).lines;
  };
  WriteWithGaps({});
  const std::vector<ChartLine> whole = trace(0, 10), part = trace(2, 6);
  WriteWithGaps({{5, 1000}});
  const std::vector<ChartLine> broken = trace(0, 10), partBroken = trace(2, 6);
  const RecordChartMapping m{9, 0.1};
  const ChartLine across{m.PixelX(4), RecordChartMapping::PixelY(m.LogicalY(4)), m.PixelX(5),
                         RecordChartMapping::PixelY(m.LogicalY(5))};
  ASSERT_NE(std::find(whole.begin(), whole.end(), across), whole.end());
  std::vector<ChartLine> expected = whole;
  expected.erase(std::find(expected.begin(), expected.end(), across));
  EXPECT_EQ(broken, expected);
  EXPECT_EQ(partBroken.size() + 1, part.size());  // a range drawn from the third reading breaks there too
}

}  // namespace
}  // namespace merilog
