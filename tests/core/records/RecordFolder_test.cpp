#include "core/records/RecordFolder.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFileInfo>

#include "RecordTestSupport.h"
#include "core/records/RecordList.h"
#include "support/ScriptedPrompter.h"

namespace merilog {
namespace {

using test::Std;

class RecordFolderTest : public test::RecordFolderFixture {};

TEST_F(RecordFolderTest, FindEntersBaseDbAndASecondDerivationKeepsIt) {
  test::ScriptedPrompter prompter;
  auto first = FindRecordFolder(prompter, RecordFolderCaller::Viewer);
  ASSERT_TRUE(first.has_value());
  EXPECT_EQ(*first, folder_);
  EXPECT_EQ(QDir::currentPath(), folder_);
  EXPECT_EQ(FindRecordFolder(prompter, RecordFolderCaller::Viewer).value_or(""), folder_);
  // A directory named with DB is used unchanged.
  const QString tools = base_ + "/MyDBTools";
  ASSERT_TRUE(QDir().mkpath(tools));
  ASSERT_TRUE(QDir::setCurrent(tools));
  EXPECT_EQ(FindRecordFolder(prompter, RecordFolderCaller::SessionCheck).value_or(""), tools);
  EXPECT_TRUE(prompter.shown.empty());
}

// (The captions are the callers' table; the record check and the records command show two.)
TEST_F(RecordFolderTest, MissingFolderIsReportedAndNothingIsCreated) {
  test::ScriptedPrompter entering;
  ASSERT_TRUE(EnterRecordFolder(folder_, entering, RecordFolderCaller::Viewer));
  ASSERT_TRUE(QDir::setCurrent(base_));
  ASSERT_TRUE(QDir(folder_).removeRecursively());
  test::ScriptedPrompter prompter;
  prompter.ExpectMessage(Prompter::Answer::Ok);
  EXPECT_FALSE(FindRecordFolder(prompter, RecordFolderCaller::ChartDraw).has_value());
  ASSERT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(Std(prompter.shown[0].caption), "DrawRecord Database folder check");
  // A stored folder that has vanished fails to enter the same way.
  entering.ExpectMessage(Prompter::Answer::Ok);
  EXPECT_FALSE(EnterRecordFolder(folder_, entering, RecordFolderCaller::Viewer));
  ASSERT_EQ(entering.shown.size(), 1u);
  EXPECT_EQ(Std(entering.shown[0].caption), "RecordView Database folder check");
  EXPECT_FALSE(QFileInfo::exists(folder_));
  EXPECT_EQ(QDir::currentPath(), base_);
}

TEST_F(RecordFolderTest, FolderVanishedAfterEnteringIsCreatedAgainOnLookup) {
  test::ScriptedPrompter prompter;
  auto f = FindRecordFolder(prompter, RecordFolderCaller::ListCheck);
  ASSERT_TRUE(f.has_value());
  test::MakeRecord(RecordPath(2), true, test::At(2024, 1, 2, 3, 4, 5));
  ASSERT_TRUE(QDir::setCurrent(base_));
  ASSERT_TRUE(QDir(folder_).removeRecursively());

  const RecordList list = ListRecords(RecordListKind::ReadingSettings, *f);
  EXPECT_TRUE(QFileInfo(folder_).isDir());
  EXPECT_EQ(QDir::currentPath(), folder_);
  ASSERT_EQ(list.entries.size(), 10u);
  for (const auto& e : list.entries) EXPECT_EQ(e.label, RecordLabel(e.number));
  EXPECT_TRUE(list.problems.isEmpty());
}

TEST_F(RecordFolderTest, RemoveRecordFileTakesSideFilesAlong) {
  test::MakeRecord(RecordPath(1), true);
  for (const char* s : {"-wal", "-shm"}) {
    QFile f(RecordPath(1) + s);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
  }
  EXPECT_TRUE(RemoveRecordFile(RecordPath(1)));
  EXPECT_TRUE(QDir(folder_).entryList(QDir::Files | QDir::Hidden).isEmpty());
}

}  // namespace
}  // namespace merilog
