#include <gtest/gtest.h>

#include "../../support/MainWindowBench.h"
#include "core/base/MessageTable.h"
#include "core/measure/FunctionButton.h"
#include "core/measure/RangeText.h"
#include "core/readingconfig/ReadingSettings.h"

using namespace merilog;
using namespace merilog::test;

namespace {

// Values the panel test below does not reach: zero, and each capacitance prefix.
TEST(RangeText, Formats) {
  EXPECT_EQ(FormatRangeValue(0), "0m");
  EXPECT_EQ(FormatCapacitanceRange(1e-5), "10 u");
  EXPECT_EQ(FormatCapacitanceRange(0.01), "10 m");
  EXPECT_EQ(FormatCapacitanceRange(1), "1");
}

class Panel : public ::testing::Test {
 protected:
  MainWindowBench b;
  const StatusPanelState& S() { return b.model->Panel().State(); }
};

TEST_F(Panel, FunctionAndRangeLines) {
  auto* meter = b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "VOLT:DC:RANG 10"});
  auto& m = b.Open();
  const struct {
    std::vector<std::string> commands;
    std::string function, range;
  } steps[] = {
      {{}, "DCV", "Range : 10  VDC"},
      {{"VOLT:DC:RANG 0.1"}, "DCV", "Range : 100m  VDC"},
      {{"CONF:VOLT:AC", "VOLT:AC:RANG 750"}, "ACV", "Range : 750 VAC"},
      {{"CONF:FREQ", "FREQ:VOLT:RANG 750"}, "FREQ", "Range : 750 VAC"},
      {{"CONF:CAP", "CAP:RANG 1e-7"}, "CAP", "Range : 100 nF"},
      {{"CAP:RANG:AUTO 1"}, "CAP", "Range : AUTO"},
      {{"CONF:DIOD"}, "DIOD", ""},
      {{"CONF:TEMP", "TEMP:RTD:TYPE D100"}, "TEMP", "Type : D100"},
      {{"CONF:TCO", "TCO:TYPE J"}, "TCOUPL", "Type : J"},
  };
  for (const auto& s : steps) {
    for (const auto& c : s.commands) meter->Execute(c);
    m.OnDeviceSelected(0);
    b.Settle();
    EXPECT_EQ(S().functionText, "Function : " + s.function);
    EXPECT_EQ(S().rangeText, s.range) << s.function;
  }
  // Capacitance asks for auto range; the diode and temperature functions have none to ask for.
  EXPECT_TRUE(b.wire.Sent(kUsb82, "CAP:RANGe:AUTO?\n"));
  EXPECT_TRUE(b.wire.Sent(kUsb82, "FREQ:VOLT:range?\n"));
  EXPECT_FALSE(b.wire.Sent(kUsb82, "DIOD:RANGe:AUTO?\n"));
  EXPECT_FALSE(b.wire.Sent(kUsb82, "TEMP:RANGe:AUTO?\n"));
}

// A function answer carrying a command is shown as unknown, never sent back inside a question.
TEST_F(Panel, GarbledFunctionAnswerIsNeverSentBack) {
  auto* meter = b.Add(kUsb82, "6082", {"CONF:VOLT:DC"});
  meter->CommandFaults().Answer("FUNCtion", "\"VOLT;*RST\"");
  auto& m = b.Open();
  m.OnDeviceSelected(0);
  b.Settle();
  EXPECT_FALSE(b.wire.Sent(kUsb82, "VOLT;*RST:RANGe:AUTO?\n"));
  EXPECT_EQ(S().functionText, "");
}

TEST_F(Panel, RatioRangesAreAskedByModel) {
  const struct {
    const char* model;
    const char* autoQuestion;
    const char* rangeQuestion;
  } cases[] = {
      {"P7710", "VOLT:DC:RAT:RANG:AUTO?\n", "VOLT:DC:RAT:range?\n"},
      {"6081", "VOLT:DC:RANG:AUTO?\n", "VOLT:DC:range?\n"},
  };
  for (const auto& c : cases) {
    MainWindowBench bench;
    auto* meter = bench.Add(kUsb81, c.model,
                            {"CONF:VOLT:DC:RAT", "VOLT:DC:RANG:AUTO 0", "VOLT:DC:RANG 10", "VOLT:DC:RAT:RANG:AUTO 0",
                             "VOLT:DC:RAT:RANG 10"});
    ASSERT_NE(meter, nullptr);
    auto& m = bench.Open();
    const auto& s = m.Panel().State();
    EXPECT_EQ(s.functionText, "Function : DC Ratio") << c.model;
    EXPECT_EQ(s.rangeText, "Range : 10  VDC") << c.model;
    EXPECT_TRUE(bench.wire.Sent(kUsb81, c.autoQuestion)) << c.model;
    EXPECT_TRUE(bench.wire.Sent(kUsb81, c.rangeQuestion)) << c.model;
  }
}

TEST_F(Panel, FunctionButtonConfiguresAndRefreshesTheStatus) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = b.Open();
  m.ConfigureFunction(static_cast<int>(FindFunctionButton("2W") - FunctionButtonTable().data()));
  b.Settle();
  EXPECT_EQ(S().functionText, "Function : 2W");
  EXPECT_EQ(S().meters[0].valueText, "0");
  EXPECT_EQ(S().rangeText, "Range : AUTO");  // the button put the range in AUTO
}

TEST_F(Panel, SecondSelectorOfDualModel) {
  auto* meter = b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  auto& m = b.Open();
  ASSERT_EQ(S().secondChoices.size(), 6u);
  EXPECT_EQ(S().secondChoices[S().secondSelected], "ACV");
  EXPECT_TRUE(S().secondActive);
  EXPECT_TRUE(m.SecondChooser().enabled && m.SecondChooser().shown);
  EXPECT_EQ(S().meters[0].secondTagText, "ACV");

  m.SecondFunctionChosen(5);  // "NONE"
  b.Settle();
  EXPECT_TRUE(b.wire.Sent(kUsb82, "Function2 \"NONE\"\n"));
  EXPECT_FALSE(S().secondActive);
  EXPECT_EQ(m.Chart().SelectedTrace(), 0);
  EXPECT_FALSE(S().meters[0].secondValueDisplay.shown);

  // Continuity allows no 2ND function: the chooser is shown, empty and disabled.
  meter->Execute("CONF:CONT");
  m.OnDeviceSelected(0);
  b.Settle();
  EXPECT_TRUE(S().secondChoices.empty());
  EXPECT_TRUE(m.SecondChooser().shown);
  EXPECT_FALSE(m.SecondChooser().enabled);
  meter->Execute("CONF:VOLT:DC");
  m.OnDeviceSelected(0);
  b.Settle();
  EXPECT_TRUE(m.SecondChooser().enabled);
}

// The choices per function and model are the second-function table's; here the
// selection lands on the right entry with TCOUPL left out before it.
TEST_F(Panel, VariantLeavesOutTcouplAndSelectsAfterIt) {
  b.Add(kUsb82, "MR6082", {"CONF:CURR:DC", "FUNC2 \"PER:CURR\""});
  b.Open();
  ASSERT_GE(S().secondSelected, 0);
  EXPECT_EQ(S().secondChoices[S().secondSelected], "CURR PERIOD");
}

TEST_F(Panel, DataOffsetValidation) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = b.Open();
  const ChartModel& chart = m.Chart();
  // A second point: refused with a caption of ".", the number before it kept.
  b.prompter.ExpectMessage(Prompter::Answer::Ok);
  m.ApplyDataOffset("1.5.2");
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text, "The value of \"Offset\" is error.");
  EXPECT_EQ(b.prompter.shown[0].caption, ".");
  EXPECT_EQ(chart.DataOffsetText(), "1.5");
  b.prompter.ExpectMessage(Prompter::Answer::Ok);
  m.ApplyDataOffset("abc");
  EXPECT_EQ(b.prompter.shown[1].caption, "");
  EXPECT_EQ(chart.DataOffsetText(), "0");
}

TEST_F(Panel, ReadingSettingsShowARowPerChosenMeterStillPresent) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  b.Add(kUsb82, "6082", {"CONF:CURR:DC", "FUNC2 \"VOLT:DC\""});
  auto& m = b.Open();
  ReadingSettings s;
  s.mode = kMultiDeviceMode;
  s.chosenDevice = {{0, "a"}, {1, "b"}, {5, "gone since"}};
  s.chosenCount = 3;
  m.ApplyReadingSettings(s);
  b.Settle();
  EXPECT_EQ(m.NextRunPlan().positionSlots, (std::vector<int>{0, 1}));
  EXPECT_TRUE(S().meters[1].nameLabel.shown && S().meters[1].valueDisplay.shown);
  EXPECT_FALSE(S().meters[2].nameLabel.shown);
  EXPECT_EQ(S().meters[1].mainTagText, "DCI");
  EXPECT_TRUE(S().meters[1].hasSecond);
  EXPECT_FALSE(S().meters[0].hasSecond);

  // Back to one meter: the other rows go, the next run reads the current meter only.
  s.mode = kSingleDeviceMode;
  m.ApplyReadingSettings(s);
  b.Settle();
  EXPECT_FALSE(S().meters[1].nameLabel.shown);
  EXPECT_EQ(m.NextRunPlan().positionSlots, (std::vector<int>{0}));
}

// What the About box leaves behind, by where it was opened from.
struct AboutView : CountingView {
  int language = 0;
  int opened = 0;
  bool OpenDialog(MenuCommand command) override {
    if (command != MenuCommand::About) return false;
    ++opened;
    SetLanguageByIndex(language);
    return true;
  }
};

TEST_F(Panel, AboutFromHelpRelabelsInTheChosenLanguageAndSearchesWithoutMeters) {
  auto& m = b.Open();
  AboutView view;
  m.SetObserver(&view);
  view.language = 2;
  m.OnCommand(MenuCommand::About);
  b.Settle();
  EXPECT_EQ(m.Texts().menus[1].title, QString::fromUtf8("记录"));
  EXPECT_EQ(ApplicationMessageTable().Lookup(u"Information", u"LanguageID", {}), "Chinese(Simplify)");
  // No meter was present, so a new search ran and found the one plugged in since.
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  view.language = 0;
  m.OnCommand(MenuCommand::About);
  b.Settle();
  EXPECT_EQ(m.Devices().DeviceCount(), 1);
  EXPECT_EQ(m.Texts().menus[1].title, "Record");
  // The system menu's About changes the language but not the window.
  view.language = 1;
  m.OnSystemAbout();
  EXPECT_EQ(m.Texts().menus[1].title, "Record");
  EXPECT_EQ(view.opened, 3);
  SetLanguageByIndex(0);
}

}  // namespace
