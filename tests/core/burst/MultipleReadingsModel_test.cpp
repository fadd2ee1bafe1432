// The Multiple Readings dialog's model over simulated meters on their own
// session threads, with record files in a temporary folder.
#include "core/burst/MultipleReadingsModel.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <gtest/gtest.h>

#include <QDir>

#include "core/instrument/SessionWorker.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordTestSupport.h"
#include "support/GateSession.h"
#include "support/MainWindowBench.h"
#include "support/PrintQString.h"

namespace merilog {
namespace {

using test::RunUntil;

class MultipleReadings : public ::testing::Test {
 protected:
  void SetUp() override { test::EnsureEventLoop(); }
  void TearDown() override {
    if (gate_) gate_->Open();
    model_.reset();
    workers_.clear();
  }

  // The dialog opens on every meter of the bench; holdReadAt holds that read
  // of the first meter (see GateSession).
  void Open(int holdReadAt = 0) {
    DeviceHandOver handOver;
    for (const std::string& resource : b_.bench->Resources()) {
      std::unique_ptr<Session> session = b_.rm.Open(resource);
      if (workers_.empty() && holdReadAt) {
        auto gate = std::make_unique<test::GateSession>(std::move(session), holdReadAt);
        gate_ = gate.get();
        session = std::move(gate);
      }
      workers_.push_back(std::make_unique<SessionWorker>(std::move(session)));
      HandedDevice d;
      d.worker = workers_.back().get();
      d.displayName = resource;
      handOver.devices.push_back(d);
    }
    const QString db = db_;
    model_ = std::make_unique<MultipleReadingsModel>(prompter_, clock_, [db](Prompter&) { return db; });
    model_->HandOverDevices(handOver);
    model_->Opening();
    ASSERT_TRUE(RunUntil([&] { return model_->Idle(); }));
  }
  // Start with these choices; returns once the burst has ended.
  void Burst(int device, int record, int count) {
    model_->DeviceSelected(device);
    model_->RecordChosen(record - 1);
    ASSERT_TRUE(model_->NumberEdited(QString::number(count)));
    model_->Start();
    ASSERT_TRUE(RunUntil([&] { return model_->Idle(); }));
  }
  QString Path(RecordFileKind kind, int n) const { return RecordFilePath(kind, db_, n); }
  // Value, 2ND value and time of each row, as SQLite's text.
  static std::vector<std::vector<std::string>> Rows(const QString& path) {
    return test::Query(path, "SELECT read_value, read_value_2ND, read_time FROM read ORDER BY rowid");
  }
  // A record file as another program left it: stored functions, a date or not, some rows.
  void MakeRecord(const QString& path, const QString& f1, const QString& f2, bool dated, int rows = 0) {
    test::MakeRecord(path, true, dated ? test::At(2023, 1, 2, 3, 4, 5) : QDateTime(), f1, f2);
    auto appender = RecordAppender::Open(path, AppendPolicy{});
    for (int i = 0; i < rows; ++i) ASSERT_TRUE(appender.value()->Append(i, kNoSecondValue, QTime(1, 2, 3)));
    ASSERT_TRUE(appender.value()->Close());
  }

  // Simulated meters with a wire log, a scripted prompter, a fixed clock, a working folder.
  test::MainWindowBench b_;
  test::WireLog& wire_ = b_.wire;
  test::ScriptedPrompter& prompter_ = b_.prompter;
  FixedClock& clock_ = b_.clock;
  const QString db_ = b_.folder.File("DB");
  std::vector<std::unique_ptr<SessionWorker>> workers_;
  test::GateSession* gate_ = nullptr;
  std::unique_ptr<MultipleReadingsModel> model_;
};

TEST_F(MultipleReadings, ThreeReadingsOnANewRecordThenASecondRunAppendsWithoutAsking) {
  b_.Add(test::kUsb81, "6081", {"CONF:VOLT:DC"});
  Open();
  const MultipleReadingsView& v = model_->View();
  EXPECT_EQ(v.recordEntries[0], "Record 1");
  Burst(0, 4, 3);
  const std::vector<std::string> expected{"sample:count 1\n", "*idn?\n", "func?\n", "read?\n", "read?\n", "read?\n"};
  EXPECT_EQ(wire_.To(test::kUsb81), expected);
  const QString path = Path(RecordFileKind::Record, 4);
  const auto rows = Rows(path);
  ASSERT_EQ(rows.size(), 3u);
  for (const auto& r : rows)
    EXPECT_EQ(std::vector(r.begin() + 1, r.end()), (std::vector<std::string>{"9.9e+21", "14:03:27:045"}));
  {
    auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
    ASSERT_TRUE(db);
    EXPECT_EQ(db.value()->ReadDate()->value.toSecsSinceEpoch(), clock_.Now().toSecsSinceEpoch());
    EXPECT_EQ(db.value()->ReadFunctions()->function1, "DCV");
    EXPECT_EQ(db.value()->ReadFunctions()->function2, "NONE");
  }
  // The choice is listed again with the record's date, and the record is chosen.
  EXPECT_EQ(v.recordEntries[3], "Record 4            ( 24 / 05 / 06 -- 14 : 03 : 27 )");
  EXPECT_EQ(v.selectedRecord, 3);
  EXPECT_EQ(v.done, 3);
  EXPECT_EQ(model_->LastResult()->end, BurstEnd::Completed);

  // Same function, same record: appended, and the date moves to the new start.
  clock_.AdvanceMs(60000);
  Burst(0, 4, 2);
  EXPECT_EQ(Rows(path).size(), 5u);
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  EXPECT_EQ(db.value()->ReadDate()->value.toSecsSinceEpoch(), clock_.Now().toSecsSinceEpoch());
  EXPECT_TRUE(prompter_.shown.empty());
}

TEST_F(MultipleReadings, DualAnswersStoreBothValuesSingleAnswersStoreTheMarker) {
  sim::SimMeter* dual = b_.Add(test::kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  dual->QueueReadAnswers({"1.23E+00,5.0E-03", "-4.5E-01 V", "+1.234567890123456789", "garbage", "2E+00,"});
  Open();
  Burst(0, 2, 5);
  EXPECT_TRUE(wire_.Sent(test::kUsb82, "func2?\n"));
  std::vector<std::vector<std::string>> values;
  for (auto r : Rows(Path(RecordFileKind::Record, 2))) values.push_back({r[0], r[1]});
  EXPECT_EQ(
      values,
      (std::vector<std::vector<std::string>>{
          {"1.23", "0.005"}, {"-0.45", "9.9e+21"}, {"1.234567890123", "9.9e+21"}, {"0.0", "9.9e+21"}, {"2.0", "0.0"}}));
  auto db = RecordDatabase::Open(Path(RecordFileKind::Record, 2), RecordDatabase::Access::Read);
  EXPECT_EQ(db.value()->ReadFunctions()->function2, "ACV");
}

TEST_F(MultipleReadings, StopTakesEffectWithinOneReadingAndKeepsEveryRow) {
  b_.Add(test::kUsb81, "6081", {"CONF:VOLT:DC"});
  MakeRecord(Path(RecordFileKind::DBfile, 2), "", "", true);  // refuses a start below
  // Reads 1 and 2 answer *idn? and func?; the eighth is the sixth reading.
  Open(8);
  model_->RecordChosen(0);
  ASSERT_TRUE(model_->NumberEdited("50000"));
  model_->Start();
  const MultipleReadingsView& v = model_->View();
  EXPECT_TRUE(model_->Running());
  EXPECT_TRUE(v.stopButton.enabled);
  EXPECT_FALSE(v.startButton.enabled || v.exitButton.enabled || v.recordChoice.enabled);
  EXPECT_FALSE(model_->Exit());
  ASSERT_TRUE(RunUntil([&] { return gate_->Held(); }));

  model_->Stop();
  EXPECT_FALSE(model_->Running());
  EXPECT_TRUE(v.startButton.enabled && v.exitButton.enabled && v.recordChoice.enabled);
  EXPECT_FALSE(v.stopButton.enabled);
  gate_->Open();
  ASSERT_TRUE(RunUntil([&] { return model_->Idle(); }));
  // The answer under way when Stop came is dropped; none after it is asked.
  EXPECT_EQ(Rows(Path(RecordFileKind::Record, 1)).size(), 5u);
  EXPECT_EQ(wire_.To(test::kUsb81).size(), 3u + 6u);
  EXPECT_EQ(model_->LastResult()->end, BurstEnd::Stopped);
  EXPECT_EQ(v.done, 5);
  EXPECT_EQ(v.selectedRecord, 0);

  // A start refused by the record leaves the last burst's progress shown.
  const QString progress = v.progressText;
  ASSERT_TRUE(progress.startsWith("5 of 50000 readings, ")) << progress.toStdString();
  model_->RecordChosen(1);
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  model_->Start();
  ASSERT_TRUE(RunUntil([&] { return model_->Idle(); }));
  EXPECT_EQ(v.progressText, progress);
  EXPECT_EQ(v.done, 5);
}

TEST(BurstRateText, OneDecimalBelowTenReadingsASecond) {
  EXPECT_EQ(BurstRateText(0), "0.0");
  EXPECT_EQ(BurstRateText(0.333), "0.3");
  EXPECT_EQ(BurstRateText(9.94), "9.9");
  EXPECT_EQ(BurstRateText(9.96), "10");
  EXPECT_EQ(BurstRateText(127767.4), "127767");
}

TEST_F(MultipleReadings, RefusedRecordsKeepTheirRowsAndShowTheVerdict) {
  b_.Add(test::kUsb81, "6081", {"CONF:VOLT:DC"});  // DCV, NONE
  const QString hasReadings = "The record already has readings. Please select a different record.";
  struct Case {
    RecordFileKind kind;
    QString f1, f2;
    bool dated;
    int rows;
    QString message;    // empty: the burst writes into the file
    bool stoppedFirst;  // the controls are back before the message shows
  } cases[] = {
      // The change message is the verdict's own (and tested with it); here only its start.
      {RecordFileKind::Record, "ACV", "ACV", true, 2, "Function has changed from ACV to DCV.", true},
      {RecordFileKind::DBfile, "", "", true, 0, hasReadings, false},
      // Not dated, but it holds readings: refused all the same.
      {RecordFileKind::DBfile, "", "", false, 2, hasReadings, false},
      // Neither dated nor holding readings: written into.
      {RecordFileKind::DBfile, "", "", false, 0, "", false},
  };
  int n = 0;
  for (const Case& c : cases) {
    ++n;
    MakeRecord(Path(c.kind, n), c.f1, c.f2, c.dated, c.rows);
  }
  Open();
  n = 0;
  for (const Case& c : cases) {
    ++n;
    SCOPED_TRACE(n);
    bool startBackAtMessage = false;
    prompter_.onMessage = [&] { startBackAtMessage = model_->View().startButton.enabled; };
    if (!c.message.isEmpty()) prompter_.ExpectMessage(Prompter::Answer::Ok);
    prompter_.shown.clear();
    Burst(0, n, 3);
    if (c.message.isEmpty()) {
      EXPECT_TRUE(prompter_.shown.empty());
      EXPECT_EQ(Rows(Path(c.kind, n)).size(), 3u);
      EXPECT_FALSE(QFile::exists(Path(RecordFileKind::Record, n)));
      continue;
    }
    ASSERT_EQ(prompter_.shown.size(), 1u);
    EXPECT_TRUE(prompter_.shown[0].text.startsWith(c.message)) << prompter_.shown[0].text.toStdString();
    EXPECT_EQ(startBackAtMessage, c.stoppedFirst);
    EXPECT_EQ(Rows(Path(c.kind, n)).size(), size_t(c.rows));
    const MultipleReadingsView& v = model_->View();
    EXPECT_TRUE(v.startButton.enabled && v.exitButton.enabled && v.recordChoice.enabled);
    EXPECT_FALSE(v.stopButton.enabled);
  }
  // No refused start asked for a reading; a DBfile number never gets a record file.
  const auto sent = wire_.To(test::kUsb81);
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "read?\n"), 3);
  EXPECT_FALSE(QFile::exists(Path(RecordFileKind::Record, 2)));
}

TEST_F(MultipleReadings, TheNumberFieldAndTheRecordChoiceAreCheckedBeforeTheMeterIsAsked) {
  b_.Add(test::kUsb81, "6081", {});
  Open();
  const QString range = "Please enter an integer between 1 and 50000.";
  const struct {
    QString typed;
    QString message;  // empty: taken
    QString shown;
  } typing[] = {
      {"50000", "", "50000"}, {"50001", range, "50000"}, {"12x", "Please enter an integer.", "50000"}, {" 7 ", "", "7"},
      {"", "", ""},
  };
  for (const auto& t : typing) {
    prompter_.shown.clear();
    if (!t.message.isEmpty()) prompter_.ExpectMessage(Prompter::Answer::Ok);
    model_->NumberEdited(t.typed);
    EXPECT_EQ(model_->View().numberText, t.shown) << t.typed.toStdString();
    EXPECT_EQ(prompter_.shown.empty() ? QString() : prompter_.shown[0].text, t.message) << t.typed.toStdString();
  }
  // An empty field is refused at Start.
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  model_->Start();
  EXPECT_EQ(prompter_.shown.back().text, "Please enter an integer.");
  EXPECT_TRUE(model_->View().recordChoice.enabled);
  EXPECT_TRUE(wire_.To(test::kUsb81).empty());

  // No working folder: the choice stays empty and Start asks for a record.
  model_ = std::make_unique<MultipleReadingsModel>(prompter_, clock_, [](Prompter&) { return std::nullopt; });
  model_->HandOverDevices(DeviceHandOver{{HandedDevice{workers_[0].get(), "m", {}, {}, -1}}, 1});
  model_->Opening();
  EXPECT_TRUE(model_->View().recordEntries.isEmpty());
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  model_->Start();
  EXPECT_EQ(prompter_.shown.back().text, "Please select a record.");
  EXPECT_TRUE(wire_.To(test::kUsb81).empty());
}

TEST_F(MultipleReadings, WithoutMetersOnlyExitWorks) {
  Open();
  const MultipleReadingsView& v = model_->View();
  EXPECT_EQ(v.deviceLines, QStringList{"No Device Connected"});
  EXPECT_FALSE(v.startButton.enabled || v.numberField.enabled || v.recordChoice.enabled || v.stopButton.enabled);
  EXPECT_TRUE(v.exitButton.enabled);
}

// A garbled function answer is a meter fault, never the record's function.
TEST_F(MultipleReadings, AFunctionAnswerThatIsNoFunctionNameEndsTheStartAsASilentMeter) {
  sim::SimMeter* m = b_.Add(test::kUsb82, "6082", {"CONF:VOLT:DC"});
  m->CommandFaults().Answer("[SENSe:]FUNCtion2", std::string("\"VOLT\x01\x7f\""));
  Open();
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  Burst(0, 1, 3);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, "Check Device Connection");
  EXPECT_EQ(model_->LastResult()->end, BurstEnd::MeterFailed);
  EXPECT_FALSE(wire_.Sent(test::kUsb82, "read?\n"));
  auto db = RecordDatabase::Open(Path(RecordFileKind::Record, 1), RecordDatabase::Access::Read);
  ASSERT_TRUE(db);
  EXPECT_EQ(db.value()->ReadFunctions()->function2, "");
}

TEST_F(MultipleReadings, AMeterThatStopsAnsweringEndsTheBurstWithItsReadingsKept) {
  sim::SimMeter* m = b_.Add(test::kUsb81, "6081", {"CONF:VOLT:DC"});
  m->Faults().silentAfter = 2 + 4;  // *idn?, func?, then four readings
  Open();
  prompter_.ExpectMessage(Prompter::Answer::Ok);
  Burst(0, 1, 100);
  ASSERT_EQ(prompter_.shown.size(), 1u);
  EXPECT_EQ(prompter_.shown[0].text, "Check Device Connection");
  EXPECT_EQ(prompter_.shown[0].caption, "ERROR");
  EXPECT_EQ(Rows(Path(RecordFileKind::Record, 1)).size(), 4u);
  EXPECT_EQ(model_->LastResult()->end, BurstEnd::MeterFailed);
  EXPECT_TRUE(model_->View().startButton.enabled);
}

}  // namespace
}  // namespace merilog
