#include "core/records/RecordList.h"

#include <gtest/gtest.h>

#include "RecordTestSupport.h"

namespace merilog {
namespace {

using test::At;
using test::Std;

// Record files are dated in January, DBfile files in June, so each label tells
// which file it came from.
const QDateTime kRecordDate = At(2024, 1, 2, 3, 4, 5);
const QDateTime kDbfileDate = At(2023, 6, 7, 8, 9, 10);
const QString R = RecordDateText(kRecordDate);
const QString D = RecordDateText(kDbfileDate);

class RecordListTest : public test::RecordFolderFixture {
 protected:
  void SetUp() override {
    test::RecordFolderFixture::SetUp();
    // 1 record dated; 2 record undated; 3 both dated; 4 DBfile dated; 5 DBfile undated;
    // 6 record dated + DBfile undated; 7 record undated + DBfile dated; 8 nothing;
    // 9 record dated without functions; 10 burst record dated.
    test::MakeRecord(RecordPath(1), true, kRecordDate, "DCV", "ACV");
    test::MakeRecord(RecordPath(2), true, {}, "DCV", "NONE");
    test::MakeRecord(RecordPath(3), true, kRecordDate, "DCV", "NONE");
    test::MakeRecord(DbfilePath(3), false, kDbfileDate, "2W", "NONE");
    test::MakeRecord(DbfilePath(4), false, kDbfileDate);
    test::MakeRecord(DbfilePath(5), false);
    test::MakeRecord(RecordPath(6), true, kRecordDate, "FREQ", "NONE");
    test::MakeRecord(DbfilePath(6), false);
    test::MakeRecord(RecordPath(7), true);
    test::MakeRecord(DbfilePath(7), false, kDbfileDate);
    test::MakeRecord(RecordPath(9), true, kRecordDate);
    test::MakeRecord(RecordPath(10), false, kRecordDate, "TEMP", "NONE");
  }

  QStringList Labels(RecordListKind kind) {
    const RecordList list = ListRecords(kind, folder_);
    EXPECT_TRUE(list.problems.isEmpty()) << Std(list.problems.join("\n"));
    QStringList labels;
    for (const auto& e : list.entries) {
      EXPECT_EQ(RecordNumberFromLabel(e.label), e.number);
      labels << e.label;
    }
    return labels;
  }
};

// Viewer: every dated file, record file first. Chart: the record file, else the
// DBfile (7's record file exists undated, so its dated DBfile is not looked at).
// The other two list all ten.
TEST_F(RecordListTest, EachCallerListsItsOwnSelection) {
  const auto note = [](int n, const QString& d) { return RecordLabelWithNote(n, d, ""); };
  const std::pair<RecordListKind, QStringList> cases[] = {
      {RecordListKind::Viewer,
       {RecordLabel(1, R, "DCV", "ACV"), RecordLabel(3, R, "DCV", "NONE"), RecordLabel(3, D), RecordLabel(4, D),
        RecordLabel(6, R, "FREQ", "NONE"), RecordLabel(7, D), RecordLabel(9, R, "", ""),
        RecordLabel(10, R, "TEMP", "NONE")}},
      {RecordListKind::Chart,
       {RecordLabel(1, R), RecordLabel(3, R), RecordLabel(4, D), RecordLabel(6, R), RecordLabel(9, R),
        RecordLabel(10, R)}},
      {RecordListKind::MultipleReadings,
       {RecordLabel(1, R), RecordLabel(2), RecordLabel(3, D), RecordLabel(4, D), RecordLabel(5), RecordLabel(6),
        RecordLabel(7, D), RecordLabel(8), RecordLabel(9, R), RecordLabel(10, R)}},
      {RecordListKind::ReadingSettings,
       {note(1, R), RecordLabel(2), note(3, D), note(4, D), RecordLabel(5), RecordLabel(6), note(7, D), RecordLabel(8),
        note(9, R), note(10, R)}},
  };
  for (const auto& [kind, labels] : cases) EXPECT_EQ(Labels(kind), labels) << int(kind);

  const RecordList viewer = ListRecords(RecordListKind::Viewer, folder_);
  EXPECT_FALSE(viewer.entries[1].fromDBfile);
  EXPECT_TRUE(viewer.entries[2].fromDBfile);
  EXPECT_EQ(viewer.entries[2].path, DbfilePath(3));
  const RecordList burst = ListRecords(RecordListKind::MultipleReadings, folder_);
  std::vector<int> flags;
  for (const auto& e : burst.entries) flags.push_back(e.kindFlag());
  EXPECT_EQ(flags, (std::vector<int>{0, 0, 1, 1, 0, 0, 1, 0, 0, 0}));
  EXPECT_TRUE(burst.entries[7].path.isEmpty());
}

}  // namespace
}  // namespace merilog
