#include <gtest/gtest.h>

#include "../../support/MainWindowBench.h"
#include "core/measure/FunctionButton.h"
#include "core/measure/RangeText.h"

using namespace merilog;
using namespace merilog::test;

namespace {

TEST(RangeText, Formats) {
  EXPECT_EQ(FormatRangeValue(10), "10");
  EXPECT_EQ(FormatRangeValue(0.1), "100m");
  EXPECT_EQ(FormatRangeValue(1000), "1K");
  EXPECT_EQ(FormatRangeValue(10e6), "10M");
  EXPECT_EQ(FormatRangeValue(0), "0m");
  EXPECT_EQ(FormatCapacitanceRange(1e-7), "100 n");
  EXPECT_EQ(FormatCapacitanceRange(1e-5), "10 u");
  EXPECT_EQ(FormatCapacitanceRange(0.01), "10 m");
  EXPECT_EQ(FormatCapacitanceRange(1), "1");
}

class Panel : public ::testing::Test {
 protected:
  MainWindowBench b;
  std::string Range() { return b.model->State().rangeText; }
  std::string Function() { return b.model->State().functionText; }
};

TEST_F(Panel, RangeLinesOfTheFunctions) {
  auto* meter = b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "VOLT:DC:RANG 10"});
  auto& m = b.Open();
  EXPECT_EQ(Function(), "Function : DCV");
  EXPECT_EQ(Range(), "Range : 10  VDC");
  meter->Execute("VOLT:DC:RANG 0.1");
  m.RefreshStatus(0);
  EXPECT_EQ(Range(), "Range : 100m  VDC");
  meter->Execute("VOLT:DC:RANG 1000");
  m.RefreshStatus(0);
  EXPECT_EQ(Range(), "Range : 1K  VDC");
  meter->Execute("CONF:VOLT:AC");
  meter->Execute("VOLT:AC:RANG 750");
  m.RefreshStatus(0);
  EXPECT_EQ(Range(), "Range : 750 VAC");
  meter->Execute("CONF:CAP");
  meter->Execute("CAP:RANG 1e-7");
  m.RefreshStatus(0);
  EXPECT_EQ(Function(), "Function : CAP");
  EXPECT_EQ(Range(), "Range : 100 nF");
  meter->Execute("CAP:RANG:AUTO 1");
  m.RefreshStatus(0);
  EXPECT_EQ(Range(), "Range : AUTO");
  meter->Execute("CONF:DIOD");
  m.RefreshStatus(0);
  EXPECT_EQ(Function(), "Function : DIOD");
  EXPECT_EQ(Range(), "");
  const auto sent = b.wire.To(kUsb82);
  EXPECT_NE(std::find(sent.begin(), sent.end(), "CAP:RANGe:AUTO?\n"), sent.end());
  EXPECT_EQ(std::find(sent.begin(), sent.end(), "DIOD:RANGe:AUTO?\n"), sent.end());
}

TEST_F(Panel, FunctionButtonConfiguresAndRefreshesTheStatus) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = b.Open();
  const auto buttons = FunctionButtonTable();
  const int twoWire = static_cast<int>(FindFunctionButton("2W") - buttons.data());
  m.ConfigureFunction(twoWire);
  EXPECT_EQ(Function(), "Function : 2W");
  EXPECT_EQ(m.Devices().State().meters[0].valueText, "0");
}

TEST_F(Panel, SecondSelectorOfDualAndVariantModels) {
  b.Add(kUsb82, "6082", {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""});
  auto& m = b.Open();
  const auto& s = m.State();
  EXPECT_EQ(s.secondChoices, (std::vector<std::string>{"DCI", "ACV", "FREQ", "PERIOD", "TCOUPL", "NONE"}));
  ASSERT_EQ(s.secondSelected, 1);
  EXPECT_EQ(s.secondLabel, "ACV");
  EXPECT_TRUE(s.secondActive);
  EXPECT_TRUE(m.Devices().State().meters[0].hasSecond);
  EXPECT_EQ(s.meterTexts[0].secondTagText, "ACV");

  m.SecondFunctionChosen(5);  // "NONE"
  const auto sent = b.wire.To(kUsb82);
  EXPECT_NE(std::find(sent.begin(), sent.end(), "Function2 \"NONE\"\n"), sent.end());
  EXPECT_FALSE(s.secondActive);
  EXPECT_EQ(s.selectedTrace, 0);
  EXPECT_FALSE(m.Devices().State().meters[0].secondValueDisplay.shown);
}

TEST_F(Panel, VariantLeavesOutTcouplAndSelectsAfterIt) {
  b.Add(kUsb82, "MR6082", {"CONF:CURR:DC", "FUNC2 \"PER:CURR\""});
  auto& m = b.Open();
  const auto& s = m.State();
  EXPECT_EQ(s.secondChoices,
            (std::vector<std::string>{"DCV", "ACV", "ACI", "FREQ", "PERIOD", "CURR FREQ", "CURR PERIOD", "NONE"}));
  ASSERT_GE(s.secondSelected, 0);
  EXPECT_EQ(s.secondChoices[s.secondSelected], "CURR PERIOD");
}

TEST_F(Panel, DataOffsetValidation) {
  b.Add(kUsb81, "6081", {"CONF:VOLT:DC"});
  auto& m = b.Open();
  b.prompter.ExpectMessage(Prompter::Answer::Ok);
  m.ApplyDataOffset("1.5.2");
  ASSERT_EQ(b.prompter.shown.size(), 1u);
  EXPECT_EQ(b.prompter.shown[0].text.toStdString(), "The value of \"Offset\" is error.");
  EXPECT_EQ(b.prompter.shown[0].caption.toStdString(), ".");
  EXPECT_EQ(m.State().dataOffsetText, "1.5");
  b.prompter.ExpectMessage(Prompter::Answer::Ok);
  m.ApplyDataOffset("abc");
  EXPECT_EQ(b.prompter.shown[1].caption.toStdString(), "");
  EXPECT_EQ(m.State().dataOffsetText, "0");
  m.OnEnter(false, "7");  // Enter outside the box does nothing
  EXPECT_EQ(m.State().dataOffsetText, "0");
  m.OnEnter(true, "-2.5e1");
  EXPECT_EQ(m.State().dataOffsetText, "-25");
}

}  // namespace
