// The scan dialog's configuration without a meter: the read-back matching, the
// 4W pairing of the channel and function selectors, the R and I fields, the
// schedule's enabling rules and field checks.
#include "core/scan/ScanSetup.h"

#include <gtest/gtest.h>

#include "core/base/Clock.h"
#include "core/scan/ScanFunctionTable.h"
#include "support/PrintQString.h"
#include "support/ScriptedPrompter.h"

namespace merilog {
namespace {

using test::ScriptedPrompter;

struct Setup : ::testing::Test {
  ScriptedPrompter prompter;
  FixedClock clock{QDateTime(QDate(2024, 5, 6), QTime(14, 3, 27, 600))};
  ScanSetup setup{prompter, clock};

  void Load(int channels, std::vector<std::string> answers = {}) {
    answers.resize(static_cast<std::size_t>(channels), "\"NONE\"");
    setup.LoadCard(channels, answers, answers[0]);
  }
  void Set(int channel, int function) {
    setup.ScanChannelChosen(channel - 1);
    setup.ScanFunctionChosen(function);
  }
};

TEST(ScanFunctionTable, ReadBackTakesTheFirstMatchAndBareFunctionsAsTheirDcForm) {
  // (The search test reads a card of VOLT:DC, CURR, FRES and VOLT:AC back.)
  const std::pair<std::string, int> cases[] = {
      {"\"CURR\"", kScanNone},  // CURR:DC is not in the table
      {"\"VOLT\"", kScanDcv},  {"\"VOLT:AC\"\n", kScanAcv}, {"", kScanNone}, {"VOLT ", kScanNone},
  };
  for (const auto& [answer, index] : cases) EXPECT_EQ(ScanFunctionFromAnswer(answer), index) << answer;
}

TEST_F(Setup, FourWirePairsTakeTheUpperHalfAsSenseChannels) {
  struct Case {
    int channels, fourWire, pair;
  };
  for (const Case k : {Case{20, 3, 13}, Case{10, 5, 10}}) {
    Load(k.channels);
    Set(k.fourWire, kScan4W);
    setup.ScanChannelChosen(k.pair - 1);
    EXPECT_EQ(setup.FunctionItems().size(), 7) << k.pair;  // no 4W on the upper half
    EXPECT_FALSE(setup.FunctionChooserEnabled()) << k.pair;
    setup.ScanFunctionChosen(kScanDcv);  // a disabled selector changes nothing
    EXPECT_EQ(setup.Channel(k.pair - 1).functionIndex, kScanNone);
    setup.ScanChannelChosen(k.fourWire - 1);
    EXPECT_EQ(setup.FunctionItems().size(), 8);
    setup.ScanFunctionChosen(kScan2W);
    setup.ScanChannelChosen(k.pair - 1);
    EXPECT_TRUE(setup.FunctionChooserEnabled()) << k.pair;
  }
  // An upper-half channel read back as 4W shows nothing in its seven entries.
  Load(20, std::vector<std::string>(20, "\"FRES\""));
  setup.ScanChannelChosen(15);
  EXPECT_EQ(setup.FunctionSelected(), -1);
}

TEST_F(Setup, CurrentChannelsShowTheirShuntAndOffsetAsTrimmedNumbers) {
  Load(20);
  Set(3, kScanDci);
  EXPECT_TRUE(setup.CurrentFieldsShown());
  setup.ShuntREdited("100");
  setup.CurrentOffsetEdited("0.01");
  Set(4, kScanDcv);
  EXPECT_FALSE(setup.CurrentFieldsShown());
  EXPECT_EQ(setup.ShuntRText(), "0");  // hidden fields read "0"
  setup.ScanChannelChosen(2);
  EXPECT_EQ(setup.ShuntRText(), "100");
  EXPECT_EQ(setup.CurrentOffsetText(), "0.01");
}

TEST_F(Setup, MalformedShuntOrOffsetIsReportedRewrittenAndStillStored) {
  struct Case {
    bool offset;
    QString typed, message, caption, rewritten;
    double stored;
  };
  const Case cases[] = {
      {false, "1..5", "The value of \"R\" is error.", ".", "1.00", 1},
      {true, "0,5", "The value of \"I\" is error.", "", "0.00", 0},
      {true, "-0.25", "", "", "-0.25", -0.25},
      {false, QString(5000, '9'), "The value of \"R\" is too large to use ! Please re-enter.", "", "0.00", 0},
  };
  Load(10);
  Set(1, kScanAci);
  for (const Case& k : cases) {
    prompter.shown.clear();
    if (!k.message.isEmpty()) prompter.ExpectMessage(Prompter::Answer::Ok);
    k.offset ? setup.CurrentOffsetEdited(k.typed) : setup.ShuntREdited(k.typed);
    ASSERT_EQ(prompter.shown.size(), k.message.isEmpty() ? 0u : 1u) << k.typed.toStdString();
    if (!k.message.isEmpty()) {
      EXPECT_EQ(prompter.shown[0].text, k.message);
      EXPECT_EQ(prompter.shown[0].caption, k.caption) << k.typed.toStdString();
    }
    EXPECT_EQ(k.offset ? setup.CurrentOffsetText() : setup.ShuntRText(), k.rewritten);
    EXPECT_DOUBLE_EQ(k.offset ? setup.Channel(0).currentOffset : setup.Channel(0).shuntR, k.stored);
  }
}

TEST_F(Setup, SchedulingBoxesEnableEachOther) {
  EXPECT_FALSE(setup.StopTimeEnabled());
  setup.PerScanIntervalToggled(true);
  EXPECT_FALSE(setup.ScanCountEnabled());
  setup.StopTimeToggled(true);
  setup.StopAfterNToggled(true);  // clears and disables Stop Time
  EXPECT_FALSE(setup.StopTimeChecked());
  setup.StopTimeToggled(true);
  EXPECT_FALSE(setup.StopTimeChecked());
  setup.StopAfterNToggled(false);
  setup.StopTimeToggled(true);
  setup.PerScanIntervalToggled(false);  // clears Stop Time too
  EXPECT_FALSE(setup.StopTimeChecked());
  EXPECT_TRUE(setup.ScanCountEnabled());
  setup.StopAfterNToggled(true);
  EXPECT_FALSE(setup.ScanCountEnabled());
}

TEST_F(Setup, TypingExchangesTheFieldsAndTheStartChecksWhatIsLeft) {
  // Typed into Timer, key by key: what the field keeps is what was typed, so
  // a decimal can be typed; a text that is no number stays for the start to
  // refuse; a number out of range is reported and shown as read.
  struct Case {
    QString typed, kept;
    bool valid, rangeMessage;
  };
  const Case cases[] = {
      {"0", "0", true, false},       {"0.", "0.", false, false},   {"0.0", "0.0", true, false},
      {"0.05", "0.05", true, false}, {"abc", "abc", false, false}, {"0,5", "0,5", false, false},
      {"1x", "1x", false, false},    {"1-2", "1-2", false, false}, {"", "", false, false},
      {"1e3", "1000", true, true},
  };
  for (const Case& k : cases) {
    prompter.shown.clear();
    if (k.rangeMessage) prompter.ExpectMessage(Prompter::Answer::Ok);
    setup.TimerEdited(k.typed);
    EXPECT_EQ(setup.TimerText(), k.kept) << k.typed.toStdString();
    EXPECT_EQ(setup.TimerTextValid(), k.valid) << k.typed.toStdString();
    EXPECT_EQ(prompter.shown.size(), k.rangeMessage ? 1u : 0u) << k.typed.toStdString();
    if (k.typed == "0.05") {
      EXPECT_FLOAT_EQ(setup.TimerSeconds(), 0.05f);
    }
  }
  EXPECT_FALSE(setup.RangesValid());  // the last one: the value is kept, and a start stops on it

  // Scan count reads every field: the N text is rewritten, an empty one left alone.
  prompter.shown.clear();
  setup.TimerEdited("2");
  setup.NEdited("007");
  prompter.ExpectMessage(Prompter::Answer::Ok);
  setup.ScanCountEdited("2500");
  EXPECT_EQ(prompter.shown.size(), 1u);
  EXPECT_EQ(setup.NText(), "7");
  EXPECT_EQ(setup.NScans(), 7);
  setup.NEdited("");
  setup.ScanCountEdited("12");
  EXPECT_TRUE(setup.RangesValid());
  EXPECT_EQ(setup.NText(), "");
  for (const auto& [n, valid] : {std::pair<QString, bool>{"", false}, {"3", true}, {"3a", false}}) {
    setup.NEdited(n);
    EXPECT_EQ(setup.NTextValid(), valid) << n.toStdString();
  }
  setup.NEdited("199");
  setup.StepN(1);
  setup.StepN(1);
  EXPECT_EQ(setup.NText(), "200");  // the up-down control stops at 200
}

TEST_F(Setup, ANotANumberInACountFieldReadsAsZeroAsOtherTextDoes) {
  // "nan" is read by the number parser; it once became INT_MIN, shown as such.
  setup.ScanCountEdited("nan");
  EXPECT_EQ(setup.ScanCount(), 0);
  EXPECT_EQ(setup.ScanCountText(), "0");
  EXPECT_TRUE(prompter.shown.empty());
  prompter.ExpectMessage(Prompter::Answer::Ok);
  EXPECT_FALSE(setup.ReadFields());  // a plain run of no reading is refused at the start
}

TEST_F(Setup, SecondsUntilCountsWholeSecondsOfTheClock) {
  const QDate day(2024, 5, 6);
  const std::pair<QTime, qint64> cases[] = {{QTime(14, 3, 27), 0}, {QTime(14, 3, 26), -1}, {QTime(15, 3, 27), 3600}};
  for (const auto& [time, seconds] : cases) {
    setup.SetMoment(ScanPicker::StopTime, QDateTime(day, time));
    EXPECT_EQ(setup.SecondsUntil(ScanPicker::StopTime), seconds) << time.toString().toStdString();
  }
  setup.SetInterval(QTime(1, 2, 3));
  EXPECT_EQ(setup.IntervalSeconds(), 3723);
}

}  // namespace
}  // namespace merilog
