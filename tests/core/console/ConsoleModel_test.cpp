// The command console's model over simulated meters on their own session threads.
#include "core/console/ConsoleModel.h"

#include <gtest/gtest.h>

#include <QTimer>

#include "core/instrument/ResourceManager.h"
#include "core/instrument/SessionWorker.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "support/GateSession.h"
#include "support/MainWindowBench.h"
#include "support/PrintQString.h"
#include "support/TestSupport.h"

namespace merilog {
namespace {

using test::RunUntil;

constexpr char kMeter[] = "USB0::0x3A7D::0x6082::SN02::INSTR";

class Console : public ::testing::Test {
 protected:
  void SetUp() override {
    test::EnsureEventLoop();
    sim::SimMeterDescription description;
    description.resource = kMeter;
    description.model = "6082";
    meter_ = bench_->Add(description);
    ASSERT_NE(meter_, nullptr);
    rm_.AddBackend(std::make_unique<sim::SimBackend>(bench_));
  }
  void TearDown() override {
    if (gate_) gate_->Open();
  }
  // The console opened on the meter; holdReadAt holds that read (GateSession).
  void Open(int holdReadAt = 0) {
    std::unique_ptr<Session> session = std::make_unique<test::RecordingSession>(rm_.Open(kMeter), wire_);
    if (holdReadAt) {
      auto gate = std::make_unique<test::GateSession>(std::move(session), holdReadAt);
      gate_ = gate.get();
      session = std::move(gate);
    }
    worker_ = std::make_unique<SessionWorker>(std::move(session));
    HandedDevice d;
    d.worker = worker_.get();
    d.displayName = "MODEL 6082-USBTMC-SN02";
    model_.HandOverDevices({{d}, 1});
    model_.Opening();
  }
  // Presses a button with this send text and waits for the answer.
  QString Press(void (ConsoleModel::*button)(), const QString& text = {}) {
    if (!text.isNull()) model_.SendTextEdited(text);
    (model_.*button)();
    EXPECT_TRUE(RunUntil([&] { return !model_.View().waiting; }));
    return model_.View().receivedText;
  }

  std::shared_ptr<sim::SimBench> bench_ = std::make_shared<sim::SimBench>();
  sim::SimMeter* meter_ = nullptr;
  ResourceManager rm_;
  std::shared_ptr<test::WireLog> wire_ = std::make_shared<test::WireLog>();
  test::GateSession* gate_ = nullptr;
  std::unique_ptr<SessionWorker> worker_;
  ConsoleModel model_;
};

TEST_F(Console, OpensOnTheFirstMeterOrDisabledWithoutOne) {
  model_.HandOverDevices({});
  model_.Opening();
  const ConsoleView& v = model_.View();
  for (const ControlState* c : {&v.sendBox, &v.receivedBox, &v.queryButton, &v.writeButton, &v.readButton})
    EXPECT_FALSE(c->enabled);
  EXPECT_TRUE(v.exitButton.enabled);

  Open();
  EXPECT_EQ(v.deviceNames, QStringList{"MODEL 6082-USBTMC-SN02"});
  EXPECT_FALSE(v.history.shown);
  EXPECT_TRUE(v.queryButton.enabled && v.writeButton.enabled && v.readButton.enabled);
}

TEST_F(Console, QueryShowsTheAnswerAndKeepsTheHistoryMostRecentFirstWithoutDuplicates) {
  Open();
  const ConsoleView& v = model_.View();
  const int focus = v.focusRequests;
  EXPECT_EQ(Press(&ConsoleModel::Query), QString::fromStdString(meter_->Identification()));
  EXPECT_EQ(wire_->To(kMeter), std::vector<std::string>{"*IDN?\n"});
  EXPECT_TRUE(v.history.shown);
  EXPECT_EQ(v.historyEntries, QStringList{"*IDN?"});
  EXPECT_EQ(v.focusRequests, focus + 1);

  Press(&ConsoleModel::Write, "CONF:VOLT:DC");
  Press(&ConsoleModel::Query, "*IDN?");
  EXPECT_EQ(v.historyEntries, (QStringList{"*IDN?", "CONF:VOLT:DC"}));
  model_.HistoryChosen(1);
  EXPECT_EQ(v.sendText, "CONF:VOLT:DC");
  // A Read leaves the history as it is.
  Press(&ConsoleModel::Read);
  EXPECT_EQ(v.historyEntries.size(), 2);

  // Reopening starts afresh.
  model_.Exit();
  model_.Opening();
  EXPECT_FALSE(v.history.shown);
  EXPECT_TRUE(v.historyEntries.isEmpty());
  EXPECT_EQ(v.sendText, "*IDN?");
}

TEST(CommandHistory, HoldsTheTwentyMostRecentFirst) {
  CommandHistory h;
  for (int i = 1; i <= 21; ++i) h.Add(QString("C%1").arg(i));
  ASSERT_EQ(h.Entries().size(), CommandHistory::kMaxEntries);
  EXPECT_EQ(h.Entries().front(), "C21");
  EXPECT_EQ(h.Entries().back(), "C2");  // C1 has left
}

TEST_F(Console, LongAnswersArriveWholeAndSendTextsGoOutLiterally) {
  meter_->Faults().longAnswerBytes = 3000;
  Open();
  const QString answer = Press(&ConsoleModel::Query, "func?");
  EXPECT_GE(answer.size(), 3000);
  EXPECT_TRUE(answer.startsWith("\"NONE\",\"NONE\"") || answer.startsWith("\"VOLT\",\"VOLT\"")) << answer.toStdString();
  EXPECT_FALSE(answer.endsWith('\n'));
  // Nothing of the long answer is left to spoil the next one.
  meter_->Faults().longAnswerBytes = 0;
  EXPECT_EQ(Press(&ConsoleModel::Query, "*IDN?"), QString::fromStdString(meter_->Identification()));

  const QString percent = "SYST:BEEP %d%s%%";
  const QString longText = "DISP:TEXT \"" + QString(150, 'x') + "\"";
  for (const QString& text : {percent, longText}) {
    wire_->writes.clear();
    Press(&ConsoleModel::Write, text);
    EXPECT_EQ(wire_->To(kMeter), std::vector<std::string>{text.toStdString() + "\n"});
  }
}

// Write then Read, and a Read with nothing pending, are answered by the console command line's test.
TEST_F(Console, WriteThenReadShowsTheAnswerFailuresShowTheirTexts) {
  Open();
  // A Query of a command that answers nothing.
  EXPECT_EQ(Press(&ConsoleModel::Query, "CONF:VOLT:DC?"), "Couldn't return a value.");
  EXPECT_EQ(model_.LastOutcome(), ConsoleOutcome::NoAnswer);
  EXPECT_EQ(Press(&ConsoleModel::Query, "*IDN?"), "MERISIM,MODEL 6082,SN02,2.05");
  EXPECT_EQ(model_.NoAnswerInARow(), 0);
  bench_->DropMeter(kMeter);
  EXPECT_EQ(Press(&ConsoleModel::Write, "*CLS"), "FAIL.");
  EXPECT_EQ(Press(&ConsoleModel::Query, "*IDN?"), "Couldn't return a value.");
  EXPECT_EQ(model_.NoAnswerInARow(), 2);
}

// On a terminal an answer's control bytes are shown, not obeyed.
TEST(ConsoleText, ControlCharactersBecomeEscapes) {
  EXPECT_EQ(EscapeControlCharacters(QString::fromUtf8("a\x1b[2Jb\r\n\t\x7f\xc2\x9b°")),
            "a\\x1b[2Jb\\r\\n\\t\\x7f\\x9b°");
}

TEST_F(Console, ASilentMeterNeverHoldsTheDialogAndExitWorks) {
  Open(1);
  model_.Query();
  const ConsoleView& v = model_.View();
  EXPECT_TRUE(v.waiting);
  EXPECT_FALSE(v.queryButton.enabled || v.writeButton.enabled || v.readButton.enabled);
  EXPECT_TRUE(v.exitButton.enabled);
  ASSERT_TRUE(RunUntil([&] { return gate_->Held(); }));
  // The event loop goes on while the meter is silent.
  bool ticked = false;
  QTimer::singleShot(10, [&] { ticked = true; });
  ASSERT_TRUE(RunUntil([&] { return ticked; }));
  EXPECT_TRUE(v.waiting);

  model_.Exit();
  EXPECT_FALSE(v.waiting);
  // The late answer belongs to nothing shown any more.
  gate_->Open();
  ASSERT_TRUE(RunUntil([&] { return worker_->Pending() == 0; }));
  EXPECT_EQ(v.receivedText, "");
  EXPECT_FALSE(v.history.shown);
}

}  // namespace
}  // namespace merilog
