// The Device Settings dialog's model over simulated meters on their own
// session threads: what it offers per model and function, what it shows after
// reading the meter back, and how Set ends.
#include "core/meterconfig/DeviceSettingsModel.h"

#include <gtest/gtest.h>

#include "MeterRig.h"
#include "core/instrument/QueryDevice.h"
#include "support/PrintQString.h"

namespace merilog {
namespace {

using Dialog = test::DeviceSettingsRig;

TEST(DeviceSettingsModel, WithoutMetersEverythingIsDisabledAndNothingIsSent) {
  Dialog d;
  d.Open();
  const auto& v = d.View();
  for (const ControlState& c : {v.settingsFrame, v.functionList, v.setButton, v.getButton, v.range.control,
                                v.second.control, v.transducer.control, v.secondFunction.control})
    EXPECT_FALSE(c.enabled);
  EXPECT_FALSE(v.getButton.shown);
}

// What the dialog shows on opening, the dual model's USER sensor over 4W and a 2ND unit and type
// included, is printed whole by the settings command line's test.
TEST(DeviceSettingsModel, SensorsShowTheirCoefficients) {
  // The basic model lists SPRTD at position 5 and shows all six of its fields.
  Dialog d;
  d.Add("6081", {"CONF:TEMP", "SENS:TEMP:RTD:TYPE SPRTD", "SENS:TEMP:SPRTD:A4 -0.25"});
  d.Open();
  const auto& v = d.View();
  EXPECT_EQ(v.range.selected, 5);
  for (int i = 0; i < kCoefficientSlots; ++i) EXPECT_TRUE(v.coefficients[i].shown) << i;
  EXPECT_EQ(v.coefficients[1].label, "A4");
  EXPECT_EQ(v.coefficients[1].text, "-0.25");
  // A sensor without coefficients hides every field.
  d.model.OnSensorSelected(0);
  d.Wait();
  for (const auto& c : d.View().coefficients) EXPECT_FALSE(c.shown);
}

TEST(DeviceSettingsModel, CapacitanceRangesFollowTheLargestRange) {
  for (const double largest : {0.01, 0.0001}) {
    Dialog d;
    d.Add("6082", {}, largest);
    d.Open();
    d.Function("CAP");
    EXPECT_EQ(d.View().range.items.last(), largest == 0.01 ? "10 mF" : "100 uF");
    d.Function("TCOUPLE");
    d.Second("CAP");
    EXPECT_EQ(d.View().secondRange.items.last(), largest == 0.01 ? "10m F" : "100u F");
  }
}

TEST(DeviceSettingsModel, TheSecondFunctionBoxFollowsThePrimaryFunction) {
  Dialog d;
  d.Add("6082");
  d.Open();
  d.Function("Continuity");
  EXPECT_FALSE(d.View().secondFunction.control.shown);
  d.Function("DC Voltage");  // 2ND function NONE: no 2ND range
  EXPECT_FALSE(d.View().secondRange.control.shown);
  // RTD and thermocouple together: the TEMP side's transducer box is shown.
  d.Function("TCOUPLE");
  d.Second("TEMP");
  EXPECT_TRUE(d.View().secondTransducer.control.shown && d.View().secondTransducer.control.enabled);
  EXPECT_FALSE(d.View().transducer.control.shown);
  d.Function("TEMP");
  d.Second("TCOUPL");
  EXPECT_FALSE(d.View().secondTransducer.control.shown);
  EXPECT_TRUE(d.View().transducer.control.shown);
}

// The 2ND functions are the status panel's for the model: an MR6082 is never
// offered the thermocouple. A 2ND function the meter did not take is reported.
TEST(DeviceSettingsModel, SecondFunctionsFollowTheModelAndARefusedOneIsReported) {
  Dialog mr;
  mr.Add("MR6082");
  mr.Open();
  mr.Function("DC Voltage");
  EXPECT_EQ(mr.View().secondFunction.items, QStringList({"DCI", "ACV", "FREQ", "PERIOD", "NONE"}));
  mr.Function("Resistance(2W)");
  EXPECT_TRUE(mr.View().secondFunction.items.isEmpty());
  EXPECT_FALSE(mr.View().secondFunction.control.enabled);

  Dialog d;
  d.Add("6082", {"CONF:VOLT:DC"}).meter->CommandFaults().Refuse("[SENSe:]FUNCtion2");
  d.Open();
  d.Second("ACV");
  d.prompter.ExpectMessage(Prompter::Answer::Ok);
  d.model.ApplySettings();
  d.Wait();
  ASSERT_EQ(d.prompter.shown.size(), 1u);
  EXPECT_EQ(d.prompter.shown[0].text, "The meter did not take the 2ND function ACV: it reports NONE.");
  EXPECT_EQ(d.View().secondFunction.SelectedText(), "NONE");
}

TEST(DeviceSettingsModel, SetAppliesThenShowsWhatTheMeterHolds) {
  Dialog d;
  auto& rig = d.Add("6082");
  d.Open();
  d.Function("DC Current");
  d.model.OnSensorSelected(Dialog::Find(d.View().range, "10m Adc"));
  d.Second("DCV");
  d.model.SecondRangeSelected(Dialog::Find(d.View().secondRange, "10 V"));
  d.model.SecondSettingSelected(Dialog::Find(d.View().secondChoice, "2"));
  d.model.SecondChoiceSelected(Dialog::Find(d.View().second, "100 PLC"));
  d.Wait();
  rig.ClearSent();
  // The small range cannot go with a 2ND function: moved to 1 A before anything is sent.
  d.prompter.ExpectMessage(Prompter::Answer::Ok);
  d.prompter.onMessage = [&] {
    EXPECT_EQ(d.View().range.SelectedText(), "1 Adc");
    EXPECT_TRUE(rig.Sent().empty());
  };
  d.model.ApplySettings();
  d.Wait();
  ASSERT_EQ(d.prompter.shown.size(), 1u);
  EXPECT_EQ(d.model.LastApplyEnd(), ApplyEnd::ReadBack);
  EXPECT_FALSE(d.model.AutoFlag(0));
  EXPECT_EQ(d.View().range.SelectedText(), "1 Adc");
  EXPECT_EQ(d.View().secondChoice.SelectedText(), "2");
  // Set's commands come before the read-back's first question.
  const auto sent = rig.Sent();
  ASSERT_GE(sent.size(), 3u);
  EXPECT_EQ(sent[0], "CONF:CURR:DC\n");
  EXPECT_EQ(std::count(sent.begin(), sent.end(), "func?\n"), 2);
}

// Every write of Set's that is no question.
std::vector<std::string> SettingCommands(const test::MeterRig& rig) {
  std::vector<std::string> set;
  for (const std::string& w : rig.Sent())
    if (!CommandExpectsAnswer(w)) set.push_back(w);
  return set;
}

// Read back, then Set with nothing chosen by the user: no setting reaches the
// meter, whatever the function, on both models; the meter is read again.
TEST(DeviceSettingsModel, AnUnchangedSubmitNeverChangesTheMeter) {
  for (const std::string model : {"6081", "6082"}) {
    const int functions = model == "6082" ? kSettingsFunctionCount : kBasicFunctionCount;
    for (int f = 0; f < functions; ++f) {
      SCOPED_TRACE(model + " " + SettingsEntry(f).label);
      Dialog d;
      const std::string conf = "CONF:" + SettingsEntry(f).word;
      // The DC current as a 2ND function sits on a range the dialog offers (1 A up), not in AUTO.
      auto& rig = d.Add(model, {conf.c_str(), "CURR:DC:RANG 3"});
      d.Open();
      ASSERT_EQ(d.View().functionSelected, f);
      rig.ClearSent();
      d.model.ApplySettings();
      d.Wait();
      EXPECT_TRUE(d.prompter.shown.empty());
      EXPECT_EQ(d.model.LastApplyEnd(), ApplyEnd::Unchanged);
      EXPECT_EQ(SettingCommands(rig), std::vector<std::string>{});
      EXPECT_EQ(rig.Sent().front(), "func?\n");
    }
  }
}

// The 750 V range read as 1000 is "750"; a 2ND DCI in AUTO, which its box does not
// offer, selects nothing and says so, and a Set of another choice leaves it alone.
TEST(DeviceSettingsModel, ReadBackShowsTheMeterOrThatItsSettingIsNotOffered) {
  Dialog d;
  d.Add("6082", {"CONF:VOLT:DC", "Function2 \"VOLT:AC\"", "VOLT:AC:RANG 750"}, 0.0001);
  d.Open();
  EXPECT_EQ(d.View().secondRange.SelectedText(), "750 V");

  Dialog e;
  auto& rig = e.Add("6082", {"CONF:VOLT:DC", "Function2 \"CURR\"", "CURR:DC:RANG:AUTO ON"});
  e.Open();
  EXPECT_EQ(e.View().secondFunction.SelectedText(), "DCI");
  EXPECT_EQ(e.View().secondRange.selected, -1);
  EXPECT_EQ(e.View().secondRange.placeholder, "Meter: AUTO (not offered)");
  e.model.OnSensorSelected(Dialog::Find(e.View().range, "10 Vdc"));
  e.Wait();
  rig.ClearSent();
  e.model.ApplySettings();
  e.Wait();
  EXPECT_EQ(e.model.LastApplyEnd(), ApplyEnd::ReadBack);
  const auto set = SettingCommands(rig);
  EXPECT_NE(std::find(set.begin(), set.end(), "SENS:VOLT:DC:RANGE 10.000000000000\n"), set.end());
  for (const std::string& w : set) EXPECT_EQ(w.find("CURR:range"), std::string::npos) << w;
  EXPECT_EQ(e.View().secondRange.placeholder, "Meter: AUTO (not offered)");
}

// A coefficient keeps its digits from the meter to the field and back.
TEST(DeviceSettingsModel, CoefficientsShowEveryDigitTheMeterHolds) {
  Dialog d;
  d.Add("6082", {"CONF:TEMP", "SENS:TEMP:RTD:TYPE USER", "SENS:TEMP:RTD:RZER 100.000123"});
  d.Open();
  EXPECT_EQ(d.View().coefficients[3].text, "100.000123");
}

TEST(DeviceSettingsModel, SetShowsARefusalOrALostMeterAsItsMessageBox) {
  for (const bool lost : {false, true}) {
    Dialog d;
    sim::SimMeter& meter = *d.Add("6081", {"CONF:VOLT:DC", "SENS:VOLT:DC:RANG 100", "SENS:VOLT:DC:RANG:AUTO 0"}).meter;
    d.Open();
    d.model.OnSensorSelected(Dialog::Find(d.View().range, "1 Vdc"));
    d.Wait();
    if (lost)
      meter.Faults().silentAfter = meter.AnswersGiven();
    else
      meter.CommandFaults().Refuse("[SENSe:]VOLTage[:DC]:RANGe");
    d.prompter.ExpectMessage(Prompter::Answer::Cancel);
    d.model.ApplySettings();
    d.Wait();
    ASSERT_EQ(d.prompter.shown.size(), 1u);
    const auto& box = d.prompter.shown[0];
    EXPECT_EQ(box.text, lost ? "Check Device Connection" : "Shift RANGE error. Try again.");
    EXPECT_EQ(box.caption, lost ? "ERROR" : "");
    EXPECT_EQ(box.icon, lost ? Prompter::Icon::Stop : Prompter::Icon::Exclamation);
    EXPECT_EQ(box.buttons, lost ? Prompter::Buttons::Ok : Prompter::Buttons::OkCancel);
    EXPECT_EQ(d.model.LastApplyEnd(), lost ? ApplyEnd::Lost : ApplyEnd::Refused);
  }
}

TEST(DeviceSettingsModel, ABasicMeterIgnoresTheHiddenSecondFunctionOfTheLastMeter) {
  Dialog d;
  d.Add("6082");
  auto& basic = d.Add("6081");
  d.Open();
  d.Function("TEMP");
  d.Second("TCOUPL");
  d.model.OnSettingsDeviceSelected(1);
  d.Wait();
  d.Function("TEMP");
  EXPECT_FALSE(d.View().secondFunction.control.shown);
  basic.ClearSent();
  d.model.ApplySettings();
  d.Wait();
  const auto sent = basic.Sent();
  EXPECT_NE(std::find(sent.begin(), sent.end(), "SENS:UNIT C\n"), sent.end());
  EXPECT_EQ(std::find(sent.begin(), sent.end(), "UNIT C\n"), sent.end());
}

}  // namespace
}  // namespace merilog
