#include <gtest/gtest.h>

#include "RecordTestSupport.h"
#include "core/records/RecordList.h"

namespace merilog {
namespace {

using test::At;
using test::Std;

class RecordsCommandTest : public test::RecordFolderFixture {
 protected:
  int Run(const QStringList& args, QString* out, QString* err) {
    return test::RunProgram(MERILOG_CLI_PATH, QStringList{"records"} + args, out, err, 30000, base_);
  }
};

// Each list printed one label per line, exactly as ListRecords gives it.
TEST_F(RecordsCommandTest, PrintsEachCallersList) {
  test::MakeRecord(RecordPath(1), true, At(2024, 1, 2, 3, 4, 5), "DCV", "ACV");
  test::MakeRecord(DbfilePath(3), false, At(2023, 6, 7, 8, 9, 10));
  test::MakeRecord(DbfilePath(5), false);
  const std::pair<QStringList, RecordListKind> lists[] = {
      {{"burst"}, RecordListKind::MultipleReadings},
      {{}, RecordListKind::Viewer},
  };
  for (const auto& [args, kind] : lists) {
    QString out, err;
    EXPECT_EQ(Run(args, &out, &err), 0) << Std(err);
    QString expected;
    for (const auto& e : ListRecords(kind, folder_).entries) expected += e.label + "\n";
    EXPECT_EQ(Std(out), Std(expected)) << Std(args.join(' '));
  }
}

TEST_F(RecordsCommandTest, MissingFolderAndUnknownList) {
  ASSERT_TRUE(QDir(folder_).removeRecursively());
  QString out, err;
  EXPECT_EQ(Run({"chart"}, &out, &err), 1);
  EXPECT_EQ(Std(err), "Database check: Database working folder not found.\n");
  EXPECT_TRUE(out.isEmpty());
  EXPECT_EQ(Run({"table"}, &out, &err), 2);
}

}  // namespace
}  // namespace merilog
