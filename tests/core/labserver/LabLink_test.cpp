// The lab server's link against a real PostgreSQL cluster: what arrives, what
// is never sent twice, the schema and its versions, a record pulled back.
#include "LabServerSupport.h"
#include "core/labserver/LabRecordPull.h"
#include "core/labserver/LabServerSchema.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordTexts.h"

namespace merilog::test {
namespace {

using LabLinkTest = LabServerTest;

TEST_F(LabLinkTest, EveryRowArrivesBitForBitInBatchesAndALostNoteSendsNothingTwice) {
  WriteRecord(Path(1), SampleReadings(10), "DCV", "ACV");
  LabForwardPolicy small = Fast();
  small.batchRows = 3;
  const LabRecordState first = Forward(1, small);
  EXPECT_EQ(first.identity.bench, "bench-a");
  EXPECT_EQ(first.identity.sentRowid, 10);
  EXPECT_EQ(first.serverRows, 10);
  EXPECT_TRUE(SameRows(ServerRows(first.identity.recordId), LocalRows(Path(1))));
  EXPECT_EQ(Sql("SELECT record_number, file_kind, r_function1, r_function2, row_count, last_row_id, r_date "
                "FROM merilog.record"),
            "1|Record|DCV|ACV|10|10|2024-03-05 14:03:27");
  // The file keeps the identity and how far it went.
  EXPECT_EQ(Query(Path(1), "SELECT record_id, bench, sent_rowid FROM lab_forward"),
            (std::vector<std::vector<std::string>>{{first.identity.recordId.toStdString(), "bench-a", "10"}}));

  // The note of the last batches is lost (a crash after the server's commit):
  // the server says what it has, and only the new rows go.
  SQLite::Database(Path(1).toStdString(), SQLite::OPEN_READWRITE).exec("UPDATE lab_forward SET sent_rowid = 4");
  auto appender = RecordAppender::Open(Path(1));
  ASSERT_TRUE(appender.ok());
  for (int i = 0; i < 5; ++i) ASSERT_TRUE(appender.value()->Append(100 + i, kNoSecondValue, QTime(11, 0)).ok());
  ASSERT_TRUE(appender.value()->Close().ok());
  const LabRecordState second = Forward(1, small);
  EXPECT_EQ(second.identity.recordId, first.identity.recordId);
  EXPECT_EQ(second.serverRows, 15);
  EXPECT_TRUE(SameRows(ServerRows(first.identity.recordId), LocalRows(Path(1))));
}

TEST_F(LabLinkTest, ARecordDeletedAndMadeAgainUnderItsNumberIsASecondRecordOnTheServer) {
  WriteRecord(Path(3), SampleReadings(5));
  const LabRecordState monday = Forward(3);
  ASSERT_TRUE(RemoveRecordFile(Path(3)));  // the viewer's Delete
  WriteRecord(Path(3), SampleReadings(7, 1000));
  const LabRecordState tuesday = Forward(3);
  EXPECT_NE(monday.identity.recordId, tuesday.identity.recordId);
  EXPECT_EQ(Sql("SELECT record_number, row_count FROM merilog.record ORDER BY row_count"), "3|5\n3|7");
  EXPECT_TRUE(SameRows(ServerRows(tuesday.identity.recordId), LocalRows(Path(3))));
  EXPECT_EQ(ServerRows(monday.identity.recordId).size(), 5u);
}

TEST_F(LabLinkTest, TheSchemaIsMadeOnFirstUseItsViewsAnswerAndANewerOneIsRefused) {
  WriteRecord(Path(2), {{1.0, 2.0}, {3.0, kNoSecondValue}, {kOverloadValue, 5.0}});
  const LabRecordState s = Forward(2);
  EXPECT_EQ(Sql("SELECT string_agg(version::text, ',' ORDER BY version) FROM merilog.schema_version"), "1,2");
  EXPECT_EQ(Sql("SELECT row_id, read_value, read_value_2nd FROM merilog.latest_reading"), "3|9.9e+37|5");
  EXPECT_EQ(Sql("SELECT string_agg(coalesce(read_value_2nd::text, '-') || ':' || overload::text, ' ' ORDER BY row_id) "
                "FROM merilog.record_readings"),
            "2:false -:false 5:true");
  EXPECT_EQ(Sql("SELECT value_count, value_min, second_count, second_max FROM merilog.record_figures"), "3|1|2|5");

  Sql("INSERT INTO merilog.schema_version (version) VALUES (3)");
  LabLink link(Settings(), std::make_shared<PgInterrupt>(), Fast());
  EXPECT_FALSE(link.Open());
  EXPECT_TRUE(link.SchemaTooNew());
  EXPECT_EQ(link.Failure(), PgFailure::Refused);
  EXPECT_TRUE(link.Problem().contains("version 3")) << link.Problem().toStdString();
}

TEST_F(LabLinkTest, APulledRecordIsTheServersCopyRefusesAUsedNumberAndIsNotSentBack) {
  WriteRecord(Path(1), SampleReadings(9), "DCI", "NONE");
  const LabRecordState sent = Forward(1);
  WriteRecord(Path(2), SampleReadings(2));

  LabLink link(Settings(), std::make_shared<PgInterrupt>(), Fast());
  ASSERT_TRUE(link.Open());
  auto used = PullRecord(link, "bench-a", sent.identity.recordId, folder, 2);
  ASSERT_FALSE(used.ok());
  EXPECT_EQ(used.error(), record_texts::RecordHasReadings());
  auto missing = PullRecord(link, "bench-b", sent.identity.recordId, folder, 5);
  ASSERT_FALSE(missing.ok());
  EXPECT_TRUE(missing.error().contains("bench-b"));
  EXPECT_FALSE(QFileInfo::exists(Path(5)));

  auto pulled = PullRecord(link, "bench-a", sent.identity.recordId, folder, 5);
  ASSERT_TRUE(pulled.ok()) << pulled.error().toStdString();
  EXPECT_EQ(pulled->readings, 9);
  EXPECT_TRUE(SameRows(LocalRows(Path(5)), LocalRows(Path(1))));
  EXPECT_EQ(Query(Path(5), "SELECT r_function1, r_function2 FROM read_function"),
            (std::vector<std::vector<std::string>>{{"DCI", "NONE"}}));
  EXPECT_EQ(Query(Path(5), "SELECT r_date FROM read_date"), Query(Path(1), "SELECT r_date FROM read_date"));
  EXPECT_FALSE(QFileInfo::exists(Path(5) + ".pulling"));

  // Nothing waits in it, and forwarding it changes nothing on the server.
  const LabRecordState again = SurveyRecord(folder, Path(5), "bench-z");
  EXPECT_EQ(again.identity.recordId, sent.identity.recordId);
  EXPECT_EQ(again.identity.bench, "bench-a");
  EXPECT_EQ(again.Waiting(), 0);
  Forward(5);
  EXPECT_EQ(Sql("SELECT count(*), sum(row_count) FROM merilog.record"), "1|9");
}

TEST_F(LabLinkTest, AWrongPasswordIsARefusalAndAServerThatIsNotThereIsUnreachable) {
  LabLink wrong({cluster->ConnInfo("guarded", "password=wrong"), "bench-a"}, std::make_shared<PgInterrupt>(), Fast());
  EXPECT_FALSE(wrong.Open());
  EXPECT_EQ(wrong.Failure(), PgFailure::Refused);
  EXPECT_TRUE(wrong.Problem().contains("password")) << wrong.Problem().toStdString();
  EXPECT_FALSE(wrong.Problem().contains("wrong"));  // the password itself is never shown

  LabLink right({cluster->ConnInfo("guarded", "password=right"), "bench-a"}, std::make_shared<PgInterrupt>(), Fast());
  EXPECT_TRUE(right.Open()) << right.Problem().toStdString();

  ASSERT_TRUE(cluster->Stop());
  LabLink away(Settings(), std::make_shared<PgInterrupt>(), Fast());
  EXPECT_FALSE(away.Open());
  EXPECT_EQ(away.Failure(), PgFailure::Unreachable);

  LabLink bad({"host=/nowhere sslmode", "bench-a"}, std::make_shared<PgInterrupt>(), Fast());
  EXPECT_FALSE(bad.Open());
  EXPECT_EQ(bad.Failure(), PgFailure::BadSetting);
}

}  // namespace
}  // namespace merilog::test
