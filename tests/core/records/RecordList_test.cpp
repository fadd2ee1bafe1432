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

TEST_F(RecordListTest, ViewerListsEveryDatedFileRecordFileFirst) {
  EXPECT_EQ(Labels(RecordListKind::Viewer), QStringList({
                                                RecordLabel(1, R, "DCV", "ACV"),
                                                RecordLabel(3, R, "DCV", "NONE"),
                                                RecordLabel(3, D),
                                                RecordLabel(4, D),
                                                RecordLabel(6, R, "FREQ", "NONE"),
                                                RecordLabel(7, D),
                                                RecordLabel(9, R, "", ""),
                                                RecordLabel(10, R, "TEMP", "NONE"),
                                            }));
  const RecordList list = ListRecords(RecordListKind::Viewer, folder_);
  EXPECT_FALSE(list.entries[1].fromDBfile);
  EXPECT_TRUE(list.entries[2].fromDBfile);
  EXPECT_EQ(list.entries[2].path, DbfilePath(3));
}

TEST_F(RecordListTest, ChartLooksAtTheRecordFileElseTheDbfile) {
  // 7's record file exists but has no date, so its dated DBfile file is not looked at.
  EXPECT_EQ(Labels(RecordListKind::Chart), QStringList({
                                               RecordLabel(1, R),
                                               RecordLabel(3, R),
                                               RecordLabel(4, D),
                                               RecordLabel(6, R),
                                               RecordLabel(9, R),
                                               RecordLabel(10, R),
                                           }));
}

TEST_F(RecordListTest, MultipleReadingsListsAllTenWithKindFlags) {
  EXPECT_EQ(Labels(RecordListKind::MultipleReadings),
            QStringList({RecordLabel(1, R), RecordLabel(2), RecordLabel(3, D), RecordLabel(4, D), RecordLabel(5),
                         RecordLabel(6), RecordLabel(7, D), RecordLabel(8), RecordLabel(9, R), RecordLabel(10, R)}));
  const RecordList list = ListRecords(RecordListKind::MultipleReadings, folder_);
  std::vector<int> flags;
  for (const auto& e : list.entries) flags.push_back(e.kindFlag());
  EXPECT_EQ(flags, (std::vector<int>{0, 0, 1, 1, 0, 0, 1, 0, 0, 0}));
  EXPECT_TRUE(list.entries[7].path.isEmpty());
}

TEST_F(RecordListTest, ReadingSettingsListsAllTenWithTheNoteForm) {
  EXPECT_EQ(Labels(RecordListKind::ReadingSettings), QStringList({
                                                         RecordLabelWithNote(1, R, ""),
                                                         RecordLabel(2),
                                                         RecordLabelWithNote(3, D, ""),
                                                         RecordLabelWithNote(4, D, ""),
                                                         RecordLabel(5),
                                                         RecordLabel(6),
                                                         RecordLabelWithNote(7, D, ""),
                                                         RecordLabel(8),
                                                         RecordLabelWithNote(9, R, ""),
                                                         RecordLabelWithNote(10, R, ""),
                                                     }));
}

TEST_F(RecordListTest, EmptyFolderGivesBareLabelsOrNothing) {
  test::TempFolder empty;
  EXPECT_TRUE(ListRecords(RecordListKind::Chart, empty.Path()).entries.empty());
  const RecordList all = ListRecords(RecordListKind::ReadingSettings, empty.Path());
  ASSERT_EQ(all.entries.size(), 10u);
  EXPECT_EQ(Std(all.entries[9].label), "Record 10");
}

}  // namespace
}  // namespace merilog
