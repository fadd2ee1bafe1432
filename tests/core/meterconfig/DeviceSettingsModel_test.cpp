// The Device Settings dialog's model over simulated meters on their own
// session threads: what it offers per model and function, what it shows after
// reading the meter back, and how Set ends.
#include "core/meterconfig/DeviceSettingsModel.h"

#include <gtest/gtest.h>

#include "MeterRig.h"
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

TEST(DeviceSettingsModel, SetShowsARefusalOrALostMeterAsItsMessageBox) {
  for (const bool lost : {false, true}) {
    Dialog d;
    sim::SimMeter& meter = *d.Add("6081", {"CONF:VOLT:DC", "SENS:VOLT:DC:RANG 100", "SENS:VOLT:DC:RANG:AUTO 0"}).meter;
    d.Open();
    if (lost) {
      meter.Faults().silentAfter = meter.AnswersGiven();
    } else {
      meter.CommandFaults().Refuse("[SENSe:]VOLTage[:DC]:RANGe");
      d.model.OnSensorSelected(Dialog::Find(d.View().range, "1 Vdc"));
    }
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
