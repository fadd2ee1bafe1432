// Set: the exact commands written per model and function, and every way it ends.
#include "core/meterconfig/ApplySettings.h"

#include <gtest/gtest.h>

#include <functional>

#include "MeterRig.h"
#include "core/meterconfig/SettingsLink.h"

namespace merilog {
namespace {

using Extra = std::function<void(test::MeterRig&, ApplyRequest&)>;

struct Case {
  const char* name;
  const char* model;
  int function, range, second;
  Extra extra;       // meter faults, 2ND function, coefficients
  const char* sent;  // every write, each a line
  ApplyEnd end;
  const char* message = nullptr;  // English text, or null for none
};

// fourWire: the 4W transducer, on whichever side the RTD is.
Extra Second(const char* label, const char* rangeLabel, const char* choice, int secondRange = 0, int fourWire = 0) {
  return [=](test::MeterRig&, ApplyRequest& r) {
    r.secondLabel = label;
    r.secondRangeLabel = rangeLabel;
    r.secondChoiceText = choice;
    r.secondRange = secondRange;
    r.transducer = r.secondTransducer = fourWire;
  };
}

Extra Coefficients(std::initializer_list<std::pair<int, double>> values, int fourWire = 0) {
  const std::vector<std::pair<int, double>> v = values;
  return [=](test::MeterRig&, ApplyRequest& r) {
    for (const auto& [slot, value] : v) r.coefficients[static_cast<std::size_t>(slot)] = value;
    r.transducer = fourWire;
  };
}

Extra Meter(std::function<void(sim::SimMeter&)> prepare) {
  return [=](test::MeterRig& rig, ApplyRequest&) { prepare(*rig.meter); };
}

const std::vector<Case>& Cases() {
  static const std::vector<Case> kCases = {
      {"BasicDcVoltage10V", "6081", kDcVoltage, 3, 3, nullptr,
       "CONF:VOLT:DC\nfunc?\nSENS:VOLT:DC:RANGE:AUTO 0\nSENS:VOLT:DC:RANGE 10.000000000000\n"
       "SENS:VOLT:DC:RANGE?\nSENS:VOLT:DC:NPLC 10\n",
       ApplyEnd::ReadBack},
      {"Ac750AcceptedAs1000", "6081", kAcVoltage, 5, 0, nullptr,
       "CONF:VOLT:AC\nfunc?\nSENS:VOLT:AC:RANGE:AUTO 0\nSENS:VOLT:AC:RANGE 750.000000000000\n"
       "SENS:VOLT:AC:RANGE?\nSENS:DET:BAND 3\n",
       ApplyEnd::ReadBack},
      {"DualCurrentWithSecondVoltage", "6082", kDcCurrent, 3, 6, Second("DCV", "AUTO", "0.02"),
       "CONF:CURR:DC\nfunc?\nSENS:CURR:DC:RANGE:AUTO 0\nSENS:CURR:DC:RANGE 1.000000000000\n"
       "SENS:CURR:DC:RANGE?\nFunction2 \"VOLT\"\nVOLT:range?\nVOLT:range 1\nVOLT:range:auto ON\n"
       "VOLT:nplc 0.02\nSENS:CURR:DC:NPLC 1\n",
       ApplyEnd::ReadBack},
      {"SmallCurrentRangeSwitchesTheSecondFunctionOff", "6082", kDcCurrent, 1, 0,
       [](test::MeterRig& m, ApplyRequest&) {
         m.Setup({"CONF:CURR:DC", "Function2 \"VOLT\""});
       },
       "func2?\nfunc2 \"NONE\"\nCONF:CURR:DC\nfunc?\nSENS:CURR:DC:RANGE:AUTO 0\n"
       "SENS:CURR:DC:RANGE 0.010000000000\nSENS:CURR:DC:RANGE?\nFunction2 \"NONE\"\n"
       "SENS:CURR:DC:NPLC 0.001\n",
       ApplyEnd::ReadBack},
      {"UserCoefficientsInGeneralForm", "6082", kTemperature, 7, 1,
       Coefficients({{0, 0.00385}, {1, 0.10863}, {2, 1.4999}, {3, 100}}, 1),
       "CONF:TEMP\nfunc?\nSENS:TEMP:RTD:TYPE USER\nSENS:TEMP:RTD:TYPE?\n"
       "SENS:TEMPerature:TRANsducer FRTD\nSENS:TEMP:RTD:ALPH 0.00385\nSENS:TEMP:RTD:BETA 0.10863\n"
       "SENS:TEMP:RTD:DELT 1.4999\nSENS:TEMP:RTD:RZER 100\nSENS:UNIT F\nSENS:UNIT?\n"
       "Function2 \"NONE\"\nSENS:UNIT F\nSENS:UNIT?\n",
       ApplyEnd::ReadBack},
      // Beyond six significant digits a coefficient keeps every digit it has, up to 15.
      {"CoefficientsKeepTheirDigits", "6082", kTemperature, 7, 1,
       Coefficients({{0, 0.0039083012}, {1, 0.10863}, {2, 1.4999}, {3, 100.000123}}),
       "CONF:TEMP\nfunc?\nSENS:TEMP:RTD:TYPE USER\nSENS:TEMP:RTD:TYPE?\n"
       "SENS:TEMPerature:TRANsducer RTD\nSENS:TEMP:RTD:ALPH 0.0039083012\nSENS:TEMP:RTD:BETA 0.10863\n"
       "SENS:TEMP:RTD:DELT 1.4999\nSENS:TEMP:RTD:RZER 100.000123\nSENS:UNIT F\nSENS:UNIT?\n"
       "Function2 \"NONE\"\nSENS:UNIT F\nSENS:UNIT?\n",
       ApplyEnd::ReadBack},
      // The 2ND range step leaves the unit to the primary side, which writes it from the 2ND range box.
      {"TempWithSecondThermocouple", "6082", kTemperature, 0, 0, Second("TCOUPL", "F", "J", 1, 1),
       "CONF:TEMP\nfunc?\nSENS:TEMP:RTD:TYPE PT100\nSENS:TEMP:RTD:TYPE?\n"
       "SENS:TEMPerature:TRANsducer FRTD\nUNIT F\nUNIT?\nFunction2 \"TCO\"\nTCO:TYPE J\nUNIT F\nUNIT?\n",
       ApplyEnd::ReadBack},
      {"ThermocoupleWithSecondTemp", "6082", kThermocouple, 2, 0, Second("TEMP", "K", "PT385", 2, 1),
       "CONF:TCOUPLE\nfunc?\nSENS:TEMPerature:TRANsducer FRTD\nSENS:TCO:TYPE R\nSENS:TCO:TYPE?\n"
       "UNIT K\nUNIT?\nFunction2 \"TEMP\"\nTEMP:RTD:TYPE PT385\nUNIT K\nUNIT?\n",
       ApplyEnd::ReadBack},
      {"ThermocoupleWithSecondCapacitance", "6082", kThermocouple, 1, 0, Second("CAP", "1n F", ""),
       "CONF:TCOUPLE\nfunc?\nSENS:TEMPerature:TRANsducer RTD\nSENS:TCO:TYPE J\nSENS:TCO:TYPE?\n"
       "SENS:UNIT C\nSENS:UNIT?\nFunction2 \"CAP\"\nCAP:range 1E-9\nSENS:UNIT C\nSENS:UNIT?\n",
       ApplyEnd::ReadBack},
      // Frequency and period of a voltage go the same way, with ":VOLT" dropped from the aperture's family.
      {"SecondPeriodOfACurrent", "6082", kDcCurrent, 4, 9, Second("CURR PERIOD", "3 AAC", "1s"),
       "CONF:CURR:DC\nfunc?\nSENS:CURR:DC:RANGE:AUTO 0\nSENS:CURR:DC:RANGE 3.000000000000\n"
       "SENS:CURR:DC:RANGE?\nFunction2 \"PER:CURR\"\nPER:CURR:range 3 \nPER:aper 1\n"
       "SENS:CURR:DC:NPLC 100\n",
       ApplyEnd::ReadBack},
      {"SecondAcVoltage", "6082", kDcVoltage, 5, 0, Second("ACV", "750 V", "200"),
       "CONF:VOLT:DC\nfunc?\nSENS:VOLT:DC:RANGE:AUTO 0\nSENS:VOLT:DC:RANGE 1000.000000000000\n"
       "SENS:VOLT:DC:RANGE?\nFunction2 \"VOLT:AC\"\nVOLT:AC:range 750 V\nDETector:BANDwidth 200\n"
       "SENS:VOLT:DC:NPLC 0.001\n",
       ApplyEnd::ReadBack},
      {"BasicFrequencyEndsAfterItsAperture", "6081", kFrequency, 5, 2, nullptr,
       "CONF:FREQ\nfunc?\nSENS:FREQ:volt:rang 750.0\nSENS:freq:APER 1\n", ApplyEnd::Finished},
      {"DualPeriodOnAuto", "6082", kPeriod, 0, 1, nullptr,
       "CONF:PER\nfunc?\nSENS:PER:volt:rang:auto on\nSENS:freq:APER 0.1\nFunction2 \"NONE\"\n"
       "SENS:freq:APER 0.1\n",
       ApplyEnd::ReadBack},
      {"DualCapacitanceEndsAfterTheSecondFunction", "6082", kCapacitance, 7, 0, nullptr,
       "CONF:CAP\nfunc?\nSENS:CAP:RANGE:AUTO 0\nSENS:CAP:RANGE 0.001000000000\nSENS:CAP:RANGE?\n"
       "Function2 \"NONE\"\n",
       ApplyEnd::Finished},
      {"DualRatioHasItsOwnCommands", "6082", kDcRatio, 2, 8, nullptr,
       "CONF:VOLT:RAT\nfunc?\nSENS:VOLT:DC:RAT:RANGE:AUTO 0\nSENS:VOLT:DC:RAT:RANGE 1.000000000000\n"
       "SENS:VOLT:DC:RAT:RANGE?\nFunction2 \"NONE\"\nSENS:VOLT:DC:RAT:NPLC 10\n",
       ApplyEnd::ReadBack},
      // AUTO from the 10 V range goes through 1 V first.
      {"BasicRatioAsDcVoltageAutoAfterRange10", "6081", kDcRatio, 0, 1,
       [](test::MeterRig& m, ApplyRequest&) { m.Setup({"SENS:VOLT:DC:RANG 10"}); },
       "CONF:VOLT:RAT\nfunc?\nSENS:VOLT:DC:RANG?\nSENS:VOLT:DC:RANG 1\nSENS:VOLT:DC:RANG:AUTO 1\n"
       "SENS:VOLT:DC:RANG:AUTO?\nSENS:VOLT:DC:NPLC 0.1\n",
       ApplyEnd::ReadBack},
      // Diode takes the same way as continuity.
      {"ContinuityEndsAtOnce", "6081", kContinuity, 0, 0, nullptr, "CONF:CONT\nfunc?\n", ApplyEnd::Finished},
      // Faults of the meter, one per failure message.
      {"BlankFunctionAnswerEndsSilently", "6081", kDcVoltage, 3, 0,
       Meter([](sim::SimMeter& m) { m.CommandFaults().Answer("FUNCtion", " "); }), "CONF:VOLT:DC\nfunc?\n",
       ApplyEnd::Refused},
      {"WrongFunction", "6081", kDcVoltage, 3, 0,
       Meter([](sim::SimMeter& m) { m.CommandFaults().Answer("FUNCtion", "\"VOLT:AC\""); }), "CONF:VOLT:DC\nfunc?\n",
       ApplyEnd::Refused, "Shift FUNCTION error.Try again."},
      {"SensorRefused", "6081", kTemperature, 1, 0,
       Meter([](sim::SimMeter& m) { m.CommandFaults().Refuse("[SENSe:]TEMPerature:RTD:TYPE"); }),
       "CONF:TEMP\nfunc?\nSENS:TEMP:RTD:TYPE D100\nSENS:TEMP:RTD:TYPE?\n", ApplyEnd::Refused,
       "Converting data error，please retry"},
      {"UnitRefused", "6081", kTemperature, 0, 1,
       Meter([](sim::SimMeter& m) { m.CommandFaults().Refuse("[SENSe:]UNIT"); }),
       "CONF:TEMP\nfunc?\nSENS:TEMP:RTD:TYPE PT100\nSENS:TEMP:RTD:TYPE?\n"
       "SENS:TEMPerature:TRANsducer RTD\nSENS:UNIT F\nSENS:UNIT?\n",
       ApplyEnd::Refused, "Shift UNIT error. Try again."},
      {"ThermocoupleTypeRefused", "6082", kThermocouple, 1, 0,
       Meter([](sim::SimMeter& m) { m.CommandFaults().Refuse("[SENSe:]TCOuple:TYPE"); }),
       "CONF:TCOUPLE\nfunc?\nSENS:TEMPerature:TRANsducer RTD\nSENS:TCO:TYPE J\nSENS:TCO:TYPE?\n", ApplyEnd::Refused,
       "Shift TCopule TYPE error. Try again."},
      {"AutoRangeNotConfirmed", "6081", kDcVoltage, 0, 0,
       Meter([](sim::SimMeter& m) { m.CommandFaults().Answer("[SENSe:]VOLTage[:DC]:RANGe:AUTO", "0"); }),
       "CONF:VOLT:DC\nfunc?\nSENS:VOLT:DC:RANG?\nSENS:VOLT:DC:RANG 1\nSENS:VOLT:DC:RANG:AUTO 1\n"
       "SENS:VOLT:DC:RANG:AUTO?\n",
       ApplyEnd::Refused, "Shift AUTO RANGE error. Try again."},
      {"RangeRefused", "6081", kDcVoltage, 4, 0,
       Meter([](sim::SimMeter& m) { m.CommandFaults().Refuse("[SENSe:]VOLTage[:DC]:RANGe"); }),
       "CONF:VOLT:DC\nfunc?\nSENS:VOLT:DC:RANGE:AUTO 0\nSENS:VOLT:DC:RANGE 100.000000000000\n"
       "SENS:VOLT:DC:RANGE?\n",
       ApplyEnd::Refused, "Shift RANGE error. Try again."},
      {"SilentMeterIsLost", "6081", kDcVoltage, 3, 0, Meter([](sim::SimMeter& m) { m.Faults().silentAfter = 0; }),
       "CONF:VOLT:DC\nfunc?\n", ApplyEnd::Lost},
  };
  return kCases;
}

TEST(ApplySettings, WritesExactlyItsCommandsAndEndsAsItSays) {
  for (const Case& c : Cases()) {
    SCOPED_TRACE(c.name);
    test::MeterRig rig(c.model);
    ApplyRequest r = rig.Request(c.function, c.range, c.second);
    if (c.extra) c.extra(rig, r);
    auto session = rig.Open();
    const ApplyOutcome o = ApplySettings(session.get(), r);
    EXPECT_EQ(rig.Sent(), test::Writes(c.sent));
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

TEST(ApplySettings, ACoefficientOutsideItsLimitsOrNotANumberIsRefusedBeforeAnyIsWritten) {
  // Sets one field over valid others; a refusal leaves the transducer as the last write.
  const auto apply = [](int slot, std::optional<double> value) {
    test::MeterRig rig("6082");
    ApplyRequest r = rig.Request(kTemperature, kSensorUser, 0);
    Coefficients({{0, 0.00385}, {1, 0.1}, {2, 1.5}, {3, 100}})(rig, r);
    r.coefficients[static_cast<std::size_t>(slot)] = value;
    auto session = rig.Open();
    const ApplyOutcome o = ApplySettings(session.get(), r);
    if (o.message) {
      EXPECT_EQ(rig.Sent().back(), "SENS:TEMPerature:TRANsducer RTD\n");
    }
    return o;
  };
  const CoefficientLayout* layout = CoefficientLayoutFor(kSensorUser);
  ASSERT_NE(layout, nullptr);
  for (const CoefficientField& field : layout->fields) {
    // Just outside either limit, and both limits themselves, which pass.
    for (const double bad : {field.min - (field.max - field.min) / 100, field.max + (field.max - field.min) / 100}) {
      SCOPED_TRACE(field.label + " " + std::to_string(bad));
      const ApplyOutcome o = apply(field.slot, bad);
      ASSERT_TRUE(o.message.has_value());
      EXPECT_EQ(o.message->key, field.messageKey);
      EXPECT_FALSE(o.message->okCancel);
    }
    for (const double edge : {field.min, field.max})
      EXPECT_EQ(apply(field.slot, edge).end, ApplyEnd::ReadBack) << field.label << " " << edge;
  }
  const ApplyOutcome blank = apply(2, std::nullopt);
  ASSERT_TRUE(blank.message.has_value());
  EXPECT_EQ(blank.message->key, "1022");
}

// Written on the wire by the case CoefficientsKeepTheirDigits; here the forms it does not reach.
TEST(ApplySettings, CoefficientTextsReadBackToTheSameNumber) {
  for (const auto& [value, text] :
       {std::pair{1e-05, "1e-05"}, {-0.00390830123, "-0.00390830123"}, {1.0 / 3, "0.333333333333333"}})
    EXPECT_EQ(CoefficientText(value), text) << text;
}

TEST(ApplySettings, SecondRangeLabelsBecomeNumberTexts) {
  // The multipliers the command table does not already carry.
  for (const auto& [label, text] :
       {std::pair{"100M OHM", "100000000 "}, {"10K OHM", "10000 "}, {"10u F", "10E-6"}, {"1m F", "1E-3"}})
    EXPECT_EQ(SecondRangeNumberText(label), text) << label;
}

}  // namespace
}  // namespace merilog
