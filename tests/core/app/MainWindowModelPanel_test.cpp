#include <gtest/gtest.h>

#include "../../support/MainWindowBench.h"
#include "core/measure/FunctionButton.h"
#include "core/measure/RangeText.h"

using namespace merilog;
using namespace merilog::test;

namespace {

// Values the panel test below does not reach: mega, zero, and each capacitance prefix.
TEST(RangeText, Formats) {
  EXPECT_EQ(FormatRangeValue(10e6), "10M");
  EXPECT_EQ(FormatRangeValue(0), "0m");
  EXPECT_EQ(FormatCapacitanceRange(1e-5), "10 u");
  EXPECT_EQ(FormatCapacitanceRange(0.01), "10 m");
  EXPECT_EQ(FormatCapacitanceRange(1), "1");
}

class Panel : public ::testing::Test {
 protected:
  MainWindowBench b;
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
      {{"VOLT:DC:RANG 1000"}, "DCV", "Range : 1K  VDC"},
      {{"CONF:VOLT:AC", "VOLT:AC:RANG 750"}, "ACV", "Range : 750 VAC"},
      {{"CONF:CAP", "CAP:RANG 1e-7"}, "CAP", "Range : 100 nF"},
      {{"CAP:RANG:AUTO 1"}, "CAP", "Range : AUTO"},
      {{"CONF:DIOD"}, "DIOD", ""},
  };
  for (const auto& s : steps) {
    for (const auto& c : s.commands) meter->Execute(c);
    m.RefreshStatus(0);
    EXPECT_EQ(m.State().functionText, "Function : " + s.function);
    EXPECT_EQ(m.State().rangeText, s.range) << s.function;
  }
  // Capacitance asks for auto range; the diode function has none to ask for.
  EXPECT_TRUE(b.wire.Sent(kUsb82, "CAP:RANGe:AUTO?\n"));
  EXPECT_FALSE(b.wire.Sent(kUsb82, "DIOD:RANGe:AUTO?\n"));
}

TEST_F(Panel, FunctionButtonConfiguresAndRefreshesTheStatus) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = b.Open();
  m.ConfigureFunction(static_cast<int>(FindFunctionButton("2W") - FunctionButtonTable().data()));
  EXPECT_EQ(m.State().functionText, "Function : 2W");
  EXPECT_EQ(m.Devices().State().meters[0].valueText, "0");
}

TEST_F(Panel, SecondSelectorOfDualModel) {
  b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  auto& m = b.Open();
  const auto& s = m.State();
  EXPECT_EQ(s.secondChoices, (std::vector<std::string>{"DCI", "ACV", "FREQ", "PERIOD", "TCOUPL", "NONE"}));
  EXPECT_EQ(s.secondSelected, 1);
  EXPECT_TRUE(s.secondActive);
  EXPECT_EQ(s.meterTexts[0].secondTagText, "ACV");

  m.SecondFunctionChosen(5);  // "NONE"
  EXPECT_TRUE(b.wire.Sent(kUsb82, "Function2 \"NONE\"\n"));
  EXPECT_FALSE(s.secondActive);
  EXPECT_EQ(s.selectedTrace, 0);
  EXPECT_FALSE(m.Devices().State().meters[0].secondValueDisplay.shown);
}

TEST_F(Panel, VariantLeavesOutTcouplAndSelectsAfterIt) {
  b.Add(kUsb82, "MR6082", {"CONF:CURR:DC", "FUNC2 \"PER:CURR\""});
  const auto& s = b.Open().State();
  EXPECT_EQ(s.secondChoices,
            (std::vector<std::string>{"DCV", "ACV", "ACI", "FREQ", "PERIOD", "CURR FREQ", "CURR PERIOD", "NONE"}));
  ASSERT_GE(s.secondSelected, 0);
  EXPECT_EQ(s.secondChoices[s.secondSelected], "CURR PERIOD");
}

TEST_F(Panel, DataOffsetValidation) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = b.Open();
  // A second point: refused with a caption of ".", the number before it kept.
  b.prompter.ExpectMessage(Prompter::Answer::Ok);
  m.ApplyDataOffset("1.5.2");
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text, "The value of \"Offset\" is error.");
  EXPECT_EQ(b.prompter.shown[0].caption, ".");
  EXPECT_EQ(m.State().dataOffsetText, "1.5");
  b.prompter.ExpectMessage(Prompter::Answer::Ok);
  m.ApplyDataOffset("abc");
  EXPECT_EQ(b.prompter.shown[1].caption, "");
  EXPECT_EQ(m.State().dataOffsetText, "0");
  m.OnEnter(false, "7");  // Enter outside the box does nothing
  EXPECT_EQ(m.State().dataOffsetText, "0");
  m.OnEnter(true, "-2.5e1");
  EXPECT_EQ(m.State().dataOffsetText, "-25");
}

}  // namespace
