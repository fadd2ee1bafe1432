// Set: the exact commands written per model and function, and every way it ends.
#include "core/meterconfig/ApplySettings.h"

#include <gtest/gtest.h>

#include <functional>

#include "MeterRig.h"
#include "core/meterconfig/SettingsLink.h"

namespace merilog {
namespace {

using Lines = std::vector<std::string>;

struct Case {
  const char* name;
  const char* model;
  std::function<void(test::MeterRig&)> setup;
  std::function<void(ApplyRequest&)> choose;
  Lines sent;
  ApplyEnd end;
  const char* message = nullptr;  // English text, or null for none
};

ApplyRequest Request(const test::MeterRig& rig, const char* model) {
  ApplyRequest r;
  r.model = std::string(model) == "6082" ? SettingsModel::Dual : SettingsModel::Basic;
  // The simulated dual meter has the 10 mF range, so the dialog works with list C.
  r.capacitanceTo10mF = r.model == SettingsModel::Dual && rig.meter->Description().capMaxRange == 0;
  return r;
}

void Choose(ApplyRequest& r, int function, int range, int second) {
  r.function = function;
  r.primaryLabel = SettingsEntry(function).label;
  r.range = range;
  r.second = second;
}

void Second(ApplyRequest& r, const char* label, const char* rangeLabel, const char* choice, int secondRange = 0) {
  r.secondLabel = label;
  r.secondRangeLabel = rangeLabel;
  r.secondChoiceText = choice;
  r.secondRange = secondRange;
}

void Coefficients(ApplyRequest& r, std::initializer_list<std::pair<int, double>> values) {
  for (const auto& [slot, v] : values) r.coefficients[static_cast<std::size_t>(slot)] = v;
}

const auto kNoSetup = [](test::MeterRig&) {};

const std::vector<Case>& Cases() {
  static const std::vector<Case> kCases = {
      {"BasicDcVoltage10V",
       "6081",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kDcVoltage, 3, 3); },
       {"CONF:VOLT:DC\n", "func?\n", "SENS:VOLT:DC:RANGE:AUTO 0\n", "SENS:VOLT:DC:RANGE 10.000000000000\n",
        "SENS:VOLT:DC:RANGE?\n", "SENS:VOLT:DC:NPLC 10\n"},
       ApplyEnd::ReadBack},
      {"OtherMakersResolutionTable",
       "6081",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kDcVoltage, 1, 2);
         r.hewl = true;
       },
       {"CONF:VOLT:DC\n", "func?\n", "SENS:VOLT:DC:RANGE:AUTO 0\n", "SENS:VOLT:DC:RANGE 0.100000000000\n",
        "SENS:VOLT:DC:RANGE?\n", "SENS:VOLT:DC:NPLC 0.2\n"},
       ApplyEnd::ReadBack},
      {"Ac750AcceptedAs1000",
       "6081",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kAcVoltage, 5, 0); },
       {"CONF:VOLT:AC\n", "func?\n", "SENS:VOLT:AC:RANGE:AUTO 0\n", "SENS:VOLT:AC:RANGE 750.000000000000\n",
        "SENS:VOLT:AC:RANGE?\n", "SENS:DET:BAND 3\n"},
       ApplyEnd::ReadBack},
      {"Ac750WithListCIsARangeError",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kAcVoltage, 5, 0); },
       {"CONF:VOLT:AC\n", "func?\n", "SENS:VOLT:AC:RANGE:AUTO 0\n", "SENS:VOLT:AC:RANGE 750.000000000000\n",
        "SENS:VOLT:AC:RANGE?\n"},
       ApplyEnd::Refused,
       "Shift RANGE error. Try again."},
      {"AutoAfterRange10",
       "6081",
       [](test::MeterRig& m) { m.Setup({"SENS:VOLT:DC:RANG 10"}); },
       [](ApplyRequest& r) { Choose(r, kDcVoltage, 0, 0); },
       {"CONF:VOLT:DC\n", "func?\n", "SENS:VOLT:DC:RANG?\n", "SENS:VOLT:DC:RANG 1\n", "SENS:VOLT:DC:RANG:AUTO 1\n",
        "SENS:VOLT:DC:RANG:AUTO?\n", "SENS:VOLT:DC:NPLC 0.02\n"},
       ApplyEnd::ReadBack},
      {"DualCurrentWithSecondVoltage",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kDcCurrent, 3, 6);
         Second(r, "DCV", "AUTO", "0.02");
       },
       {"CONF:CURR:DC\n", "func?\n", "SENS:CURR:DC:RANGE:AUTO 0\n", "SENS:CURR:DC:RANGE 1.000000000000\n",
        "SENS:CURR:DC:RANGE?\n", "Function2 \"VOLT\"\n", "VOLT:range?\n", "VOLT:range 1\n", "VOLT:range:auto ON\n",
        "VOLT:nplc 0.02\n", "SENS:CURR:DC:NPLC 1\n"},
       ApplyEnd::ReadBack},
      {"SmallCurrentRangeSwitchesTheSecondFunctionOff",
       "6082",
       [](test::MeterRig& m) {
         m.Setup({"CONF:CURR:DC", "Function2 \"VOLT\""});
       },
       [](ApplyRequest& r) { Choose(r, kDcCurrent, 1, 0); },
       {"func2?\n", "func2 \"NONE\"\n", "CONF:CURR:DC\n", "func?\n", "SENS:CURR:DC:RANGE:AUTO 0\n",
        "SENS:CURR:DC:RANGE 0.010000000000\n", "SENS:CURR:DC:RANGE?\n", "Function2 \"NONE\"\n",
        "SENS:CURR:DC:NPLC 0.001\n"},
       ApplyEnd::ReadBack},
      {"UserAlphaOutOfLimits",
       "6081",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kTemperature, 6, 0);
         Coefficients(r, {{0, 0.02}, {1, 0.1}, {2, 1}, {3, 100}});
       },
       {"CONF:TEMP\n", "func?\n", "SENS:TEMP:RTD:TYPE USER\n", "SENS:TEMP:RTD:TYPE?\n",
        "SENS:TEMPerature:TRANsducer RTD\n"},
       ApplyEnd::Refused,
       "ALPHA range is 0 - 0.01，please re-enter."},
      {"UserCoefficientsInGeneralForm",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kTemperature, 7, 1);
         r.transducer = 1;
         Coefficients(r, {{0, 0.00385}, {1, 0.10863}, {2, 1.4999}, {3, 100}});
       },
       {"CONF:TEMP\n", "func?\n", "SENS:TEMP:RTD:TYPE USER\n", "SENS:TEMP:RTD:TYPE?\n",
        "SENS:TEMPerature:TRANsducer FRTD\n", "SENS:TEMP:RTD:ALPH 0.00385\n", "SENS:TEMP:RTD:BETA 0.10863\n",
        "SENS:TEMP:RTD:DELT 1.4999\n", "SENS:TEMP:RTD:RZER 100\n", "SENS:UNIT F\n", "SENS:UNIT?\n",
        "Function2 \"NONE\"\n", "SENS:UNIT F\n", "SENS:UNIT?\n"},
       ApplyEnd::ReadBack},
      {"SprtdCoefficients",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kTemperature, 6, 0);
         Coefficients(r, {{0, 25.5}, {1, -0.0001}, {2, 1e-05}, {3, 0.5}, {4, -1}, {5, 1}});
       },
       {"CONF:TEMP\n", "func?\n", "SENS:TEMP:RTD:TYPE SPRTD\n", "SENS:TEMP:RTD:TYPE?\n",
        "SENS:TEMPerature:TRANsducer RTD\n", "SENS:TEMP:SPRTD:RZER 25.5\n", "SENS:TEMP:SPRTD:A4 -0.0001\n",
        "SENS:TEMP:SPRTD:B4 1e-05\n", "SENS:TEMP:SPRTD:Ax 0.5\n", "SENS:TEMP:SPRTD:Bx -1\n", "SENS:TEMP:SPRTD:Cx 1\n",
        "SENS:UNIT C\n", "SENS:UNIT?\n", "Function2 \"NONE\"\n", "SENS:UNIT C\n", "SENS:UNIT?\n"},
       ApplyEnd::ReadBack},
      {"NtcCoefficients",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kTemperature, 5, 2);
         Coefficients(r, {{0, 0.001}, {2, 0.0002}, {4, 1e-07}});
       },
       {"CONF:TEMP\n", "func?\n", "SENS:TEMP:RTD:TYPE NTCT\n", "SENS:TEMP:RTD:TYPE?\n",
        "SENS:TEMPerature:TRANsducer RTD\n", "TEMP:NTCT:A 0.001\n", "TEMP:NTCT:B 0.0002\n", "TEMP:NTCT:C 1e-07\n",
        "SENS:UNIT K\n", "SENS:UNIT?\n", "Function2 \"NONE\"\n", "SENS:UNIT K\n", "SENS:UNIT?\n"},
       ApplyEnd::ReadBack},
      // The 2ND range step leaves the unit to the primary side, which writes it from the 2ND range box.
      {"TempWithSecondThermocouple",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kTemperature, 0, 0);
         r.transducer = 1;
         Second(r, "TCOUPL", "F", "J", 1);
       },
       {"CONF:TEMP\n", "func?\n", "SENS:TEMP:RTD:TYPE PT100\n", "SENS:TEMP:RTD:TYPE?\n",
        "SENS:TEMPerature:TRANsducer FRTD\n", "UNIT F\n", "UNIT?\n", "Function2 \"TCO\"\n", "TCO:TYPE J\n", "UNIT F\n",
        "UNIT?\n"},
       ApplyEnd::ReadBack},
      {"ThermocoupleWithSecondTemp",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kThermocouple, 2, 0);
         r.secondTransducer = 1;
         Second(r, "TEMP", "K", "PT385", 2);
       },
       {"CONF:TCOUPLE\n", "func?\n", "SENS:TEMPerature:TRANsducer FRTD\n", "SENS:TCO:TYPE R\n", "SENS:TCO:TYPE?\n",
        "UNIT K\n", "UNIT?\n", "Function2 \"TEMP\"\n", "TEMP:RTD:TYPE PT385\n", "UNIT K\n", "UNIT?\n"},
       ApplyEnd::ReadBack},
      {"ThermocoupleWithSecondResistance",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kThermocouple, 0, 0);
         Second(r, "RES", "10K OHM", "1");
       },
       {"CONF:TCOUPLE\n", "func?\n", "SENS:TEMPerature:TRANsducer RTD\n", "SENS:TCO:TYPE K\n", "SENS:TCO:TYPE?\n",
        "SENS:UNIT C\n", "SENS:UNIT?\n", "Function2 \"RES\"\n", "RES:range 10000 \n", "RES:nplc 1\n", "SENS:UNIT C\n",
        "SENS:UNIT?\n"},
       ApplyEnd::ReadBack},
      {"ThermocoupleWithSecondCapacitance",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kThermocouple, 1, 0);
         Second(r, "CAP", "1n F", "");
       },
       {"CONF:TCOUPLE\n", "func?\n", "SENS:TEMPerature:TRANsducer RTD\n", "SENS:TCO:TYPE J\n", "SENS:TCO:TYPE?\n",
        "SENS:UNIT C\n", "SENS:UNIT?\n", "Function2 \"CAP\"\n", "CAP:range 1E-9\n", "SENS:UNIT C\n", "SENS:UNIT?\n"},
       ApplyEnd::ReadBack},
      {"SecondFrequencyOfAVoltage",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kDcVoltage, 2, 6);
         Second(r, "FREQ", "0.1 VAC", "0.01s");
       },
       {"CONF:VOLT:DC\n", "func?\n", "SENS:VOLT:DC:RANGE:AUTO 0\n", "SENS:VOLT:DC:RANGE 1.000000000000\n",
        "SENS:VOLT:DC:RANGE?\n", "Function2 \"FREQ:VOLT\"\n", "FREQ:VOLT:range 0.1 \n", "FREQ:aper 0.01\n",
        "SENS:VOLT:DC:NPLC 1\n"},
       ApplyEnd::ReadBack},
      {"SecondPeriodOfACurrent",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kDcCurrent, 4, 9);
         Second(r, "CURR PERIOD", "3 AAC", "1s");
       },
       {"CONF:CURR:DC\n", "func?\n", "SENS:CURR:DC:RANGE:AUTO 0\n", "SENS:CURR:DC:RANGE 3.000000000000\n",
        "SENS:CURR:DC:RANGE?\n", "Function2 \"PER:CURR\"\n", "PER:CURR:range 3 \n", "PER:aper 1\n",
        "SENS:CURR:DC:NPLC 100\n"},
       ApplyEnd::ReadBack},
      {"SecondAcVoltage",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) {
         Choose(r, kDcVoltage, 5, 0);
         Second(r, "ACV", "750 V", "200");
       },
       {"CONF:VOLT:DC\n", "func?\n", "SENS:VOLT:DC:RANGE:AUTO 0\n", "SENS:VOLT:DC:RANGE 1000.000000000000\n",
        "SENS:VOLT:DC:RANGE?\n", "Function2 \"VOLT:AC\"\n", "VOLT:AC:range 750 V\n", "DETector:BANDwidth 200\n",
        "SENS:VOLT:DC:NPLC 0.001\n"},
       ApplyEnd::ReadBack},
      {"BasicFrequencyEndsAfterItsAperture",
       "6081",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kFrequency, 5, 2); },
       {"CONF:FREQ\n", "func?\n", "SENS:FREQ:volt:rang 750.0\n", "SENS:freq:APER 1\n"},
       ApplyEnd::Finished},
      {"DualPeriodOnAuto",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kPeriod, 0, 1); },
       {"CONF:PER\n", "func?\n", "SENS:PER:volt:rang:auto on\n", "SENS:freq:APER 0.1\n", "Function2 \"NONE\"\n",
        "SENS:freq:APER 0.1\n"},
       ApplyEnd::ReadBack},
      {"DualCapacitanceEndsAfterTheSecondFunction",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kCapacitance, 7, 0); },
       {"CONF:CAP\n", "func?\n", "SENS:CAP:RANGE:AUTO 0\n", "SENS:CAP:RANGE 0.001000000000\n", "SENS:CAP:RANGE?\n",
        "Function2 \"NONE\"\n"},
       ApplyEnd::Finished},
      {"DualRatioHasItsOwnCommands",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kDcRatio, 2, 8); },
       {"CONF:VOLT:RAT\n", "func?\n", "SENS:VOLT:DC:RAT:RANGE:AUTO 0\n", "SENS:VOLT:DC:RAT:RANGE 1.000000000000\n",
        "SENS:VOLT:DC:RAT:RANGE?\n", "Function2 \"NONE\"\n", "SENS:VOLT:DC:RAT:NPLC 10\n"},
       ApplyEnd::ReadBack},
      {"BasicRatioAsDcVoltage",
       "6081",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kDcRatio, 0, 1); },
       {"CONF:VOLT:RAT\n", "func?\n", "SENS:VOLT:DC:RANG?\n", "SENS:VOLT:DC:RANG 1\n", "SENS:VOLT:DC:RANG:AUTO 1\n",
        "SENS:VOLT:DC:RANG:AUTO?\n", "SENS:VOLT:DC:NPLC 0.1\n"},
       ApplyEnd::ReadBack},
      {"ContinuityEndsAtOnce",
       "6081",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kContinuity, 0, 0); },
       {"CONF:CONT\n", "func?\n"},
       ApplyEnd::Finished},
      {"DiodeEndsAtOnce",
       "6082",
       kNoSetup,
       [](ApplyRequest& r) { Choose(r, kDiode, 0, 0); },
       {"CONF:DIODE\n", "func?\n"},
       ApplyEnd::Finished},
      // Faults of the meter, one per failure message.
      {"BlankFunctionAnswerEndsSilently",
       "6081",
       [](test::MeterRig& m) { m.meter->CommandFaults().Answer("FUNCtion", " "); },
       [](ApplyRequest& r) { Choose(r, kDcVoltage, 3, 0); },
       {"CONF:VOLT:DC\n", "func?\n"},
       ApplyEnd::Refused},
      {"WrongFunction",
       "6081",
       [](test::MeterRig& m) { m.meter->CommandFaults().Answer("FUNCtion", "\"VOLT:AC\""); },
       [](ApplyRequest& r) { Choose(r, kDcVoltage, 3, 0); },
       {"CONF:VOLT:DC\n", "func?\n"},
       ApplyEnd::Refused,
       "Shift FUNCTION error.Try again."},
      {"SensorRefused",
       "6081",
       [](test::MeterRig& m) { m.meter->CommandFaults().Refuse("[SENSe:]TEMPerature:RTD:TYPE"); },
       [](ApplyRequest& r) { Choose(r, kTemperature, 1, 0); },
       {"CONF:TEMP\n", "func?\n", "SENS:TEMP:RTD:TYPE D100\n", "SENS:TEMP:RTD:TYPE?\n"},
       ApplyEnd::Refused,
       "Converting data error，please retry"},
      {"UnitRefused",
       "6081",
       [](test::MeterRig& m) { m.meter->CommandFaults().Refuse("[SENSe:]UNIT"); },
       [](ApplyRequest& r) { Choose(r, kTemperature, 0, 1); },
       {"CONF:TEMP\n", "func?\n", "SENS:TEMP:RTD:TYPE PT100\n", "SENS:TEMP:RTD:TYPE?\n",
        "SENS:TEMPerature:TRANsducer RTD\n", "SENS:UNIT F\n", "SENS:UNIT?\n"},
       ApplyEnd::Refused,
       "Shift UNIT error. Try again."},
      {"ThermocoupleTypeRefused",
       "6082",
       [](test::MeterRig& m) { m.meter->CommandFaults().Refuse("[SENSe:]TCOuple:TYPE"); },
       [](ApplyRequest& r) { Choose(r, kThermocouple, 1, 0); },
       {"CONF:TCOUPLE\n", "func?\n", "SENS:TEMPerature:TRANsducer RTD\n", "SENS:TCO:TYPE J\n", "SENS:TCO:TYPE?\n"},
       ApplyEnd::Refused,
       "Shift TCopule TYPE error. Try again."},
      {"AutoRangeNotConfirmed",
       "6081",
       [](test::MeterRig& m) { m.meter->CommandFaults().Answer("[SENSe:]VOLTage[:DC]:RANGe:AUTO", "0"); },
       [](ApplyRequest& r) { Choose(r, kDcVoltage, 0, 0); },
       {"CONF:VOLT:DC\n", "func?\n", "SENS:VOLT:DC:RANG?\n", "SENS:VOLT:DC:RANG 1\n", "SENS:VOLT:DC:RANG:AUTO 1\n",
        "SENS:VOLT:DC:RANG:AUTO?\n"},
       ApplyEnd::Refused,
       "Shift AUTO RANGE error. Try again."},
      {"RangeRefused",
       "6081",
       [](test::MeterRig& m) { m.meter->CommandFaults().Refuse("[SENSe:]VOLTage[:DC]:RANGe"); },
       [](ApplyRequest& r) { Choose(r, kDcVoltage, 4, 0); },
       {"CONF:VOLT:DC\n", "func?\n", "SENS:VOLT:DC:RANGE:AUTO 0\n", "SENS:VOLT:DC:RANGE 100.000000000000\n",
        "SENS:VOLT:DC:RANGE?\n"},
       ApplyEnd::Refused,
       "Shift RANGE error. Try again."},
      {"SilentMeterIsLost",
       "6081",
       [](test::MeterRig& m) { m.meter->Faults().silentAfter = 0; },
       [](ApplyRequest& r) { Choose(r, kDcVoltage, 3, 0); },
       {"CONF:VOLT:DC\n", "func?\n"},
       ApplyEnd::Lost},
  };
  return kCases;
}

TEST(ApplySettings, WritesExactlyThePartsCommandsAndEndsAsItSays) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    test::MeterRig rig(c.model);
    c.setup(rig);
    ApplyRequest r = Request(rig, c.model);
    c.choose(r);
    auto session = rig.Open();
    const ApplyOutcome o = ApplySettings(session.get(), r);
    EXPECT_EQ(rig.Sent(), c.sent);
    EXPECT_EQ(o.end, c.end);
    ASSERT_EQ(o.message.has_value(), c.message != nullptr);
    if (c.message) {
      EXPECT_EQ(o.message->text, c.message);
      // Only the coefficient limits are input errors with a single button.
      EXPECT_EQ(o.message->okCancel, o.message->key.empty());
    }
    // What the meter was sent, it took (the refused commands aside).
    if (c.end != ApplyEnd::Refused && c.end != ApplyEnd::Lost) {
      EXPECT_TRUE(rig.meter->PendingErrors().empty());
    }
  }
}

TEST(ApplySettings, EveryCoefficientOutsideItsLimitsIsRefusedBeforeAnyIsWritten) {
  struct Sensor {
    int position;
    std::vector<std::pair<int, double>> valid;
  };
  const Sensor sensors[] = {
      {kSensorUser, {{0, 0.00385}, {1, 0.1}, {2, 1.5}, {3, 100}}},
      {kSensorSprtd, {{0, 100}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 0}}},
      {kSensorNtct, {{0, 0.001}, {2, 0.0002}, {4, 1e-07}}},
  };
  for (const Sensor& s : sensors) {
    const CoefficientLayout* layout = CoefficientLayoutFor(s.position);
    ASSERT_NE(layout, nullptr);
    for (const CoefficientField& field : layout->fields) {
      // Just outside either limit, and both limits themselves, which pass.
      for (const double bad : {field.min - (field.max - field.min) / 100, field.max + (field.max - field.min) / 100}) {
        SCOPED_TRACE(field.label + " " + std::to_string(bad));
        test::MeterRig rig("6082");
        ApplyRequest r = Request(rig, "6082");
        Choose(r, kTemperature, s.position, 0);
        for (const auto& [slot, v] : s.valid) r.coefficients[static_cast<std::size_t>(slot)] = v;
        r.coefficients[static_cast<std::size_t>(field.slot)] = bad;
        auto session = rig.Open();
        const ApplyOutcome o = ApplySettings(session.get(), r);
        ASSERT_TRUE(o.message.has_value());
        EXPECT_EQ(o.message->key, field.messageKey);
        EXPECT_EQ(o.message->text, field.message);
        EXPECT_FALSE(o.message->okCancel);
        EXPECT_EQ(rig.Sent().back(), "SENS:TEMPerature:TRANsducer RTD\n");
      }
      for (const double edge : {field.min, field.max}) {
        test::MeterRig rig("6082");
        ApplyRequest r = Request(rig, "6082");
        Choose(r, kTemperature, s.position, 0);
        for (const auto& [slot, v] : s.valid) r.coefficients[static_cast<std::size_t>(slot)] = v;
        r.coefficients[static_cast<std::size_t>(field.slot)] = edge;
        auto session = rig.Open();
        EXPECT_EQ(ApplySettings(session.get(), r).end, ApplyEnd::ReadBack) << field.label << " " << edge;
      }
    }
  }
  // A field that is not a number stops Set before any coefficient too.
  test::MeterRig rig("6081");
  ApplyRequest r = Request(rig, "6081");
  Choose(r, kTemperature, 6, 0);
  Coefficients(r, {{0, 0.001}, {1, 0.1}, {3, 100}});
  auto session = rig.Open();
  const ApplyOutcome o = ApplySettings(session.get(), r);
  ASSERT_TRUE(o.message.has_value());
  EXPECT_EQ(o.message->key, "1022");
}

TEST(ApplySettings, SecondRangeLabelsBecomeNumberTexts) {
  const std::pair<const char*, const char*> cases[] = {
      {"0.1 V", "0.1 V"},  {"10K OHM", "10000 "}, {"100M OHM", "100000000 "}, {"1M OHM", "1000000 "},
      {"750 VAC", "750 "}, {"10 AAC", "10 "},     {"1n F", "1E-9"},           {"10u F", "10E-6"},
      {"1m F", "1E-3"},    {"3 A", "3 A"},
  };
  for (const auto& [label, text] : cases) EXPECT_EQ(SecondRangeNumberText(label), text) << label;
}

}  // namespace
}  // namespace merilog
