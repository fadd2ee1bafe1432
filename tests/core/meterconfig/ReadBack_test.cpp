// Reading the configuration back: what Set wrote is found again, answers are
// matched against every value table, and the 2ND function is placed in its lists.
#include "core/meterconfig/ReadBack.h"

#include <gtest/gtest.h>

#include "MeterRig.h"
#include "core/meterconfig/ApplySettings.h"
#include "core/meterconfig/SecondSettingsCatalogue.h"

namespace merilog {
namespace {

ReadBackResult ReadBackFrom(test::MeterRig& rig, bool cap10mF = false) {
  auto session = rig.Open();
  return ReadBackSettings(session.get(), ReadBackRequest{rig.Model(), false, cap10mF});
}

// Valid coefficients for every sensor: the middle of each field's limits.
void MiddleCoefficients(ApplyRequest& r, int sensor) {
  if (const CoefficientLayout* layout = CoefficientLayoutFor(sensor))
    for (const CoefficientField& f : layout->fields)
      r.coefficients[static_cast<std::size_t>(f.slot)] = (f.min + f.max) / 2;
}

// Every range, sensor or type position and every second choice of every
// function, on the basic model and both dual meters (with and without the
// 10 mF range, whose 750 V ranges answer 750 and 1000): Set, then read back,
// finds what was set.
TEST(ReadBack, FindsWhatSetWroteForEveryChoice) {
  const struct {
    std::string model;
    double capMaxRange;  // 0: the model's own
  } meters[] = {{"6081", 0}, {"6082", 0}, {"6082", 0.0001}};
  for (const auto& [model, capMaxRange] : meters) {
    const SettingsModel m = test::MeterRig(model).Model();
    const bool cap10mF = m == SettingsModel::Dual && capMaxRange == 0;
    const int functions = m == SettingsModel::Dual ? kSettingsFunctionCount : kBasicFunctionCount;
    for (int f = 0; f < functions; ++f) {
      const int ranges = static_cast<int>(RangeListFor(f, m, cap10mF).labels.size());
      const int seconds = static_cast<int>(SecondChoiceItems(f, m).size());
      for (int s = 0; s < ranges; ++s) {
        for (int p = 0; p < std::max(seconds, 1); ++p) {
          if (s > 0 && p > 0 && p != seconds - 1)
            continue;  // every range with the last choice, every choice on range 0
          SCOPED_TRACE(model + " " + std::to_string(capMaxRange) + " " + SettingsEntry(f).label + " range " +
                       std::to_string(s) + " second " + std::to_string(p));
          test::MeterRig rig(model, capMaxRange);
          ApplyRequest r = rig.Request(f, s, p);
          r.transducer = s % 2;
          const int sensor = f == kTemperature ? SensorFromBoxPosition(s, m) : s;
          if (f == kTemperature) MiddleCoefficients(r, sensor);
          auto session = rig.Open();
          const ApplyOutcome applied = ApplySettings(session.get(), r);
          EXPECT_TRUE(rig.meter->PendingErrors().empty());
          EXPECT_NE(applied.end, ApplyEnd::Refused);

          const ReadBackResult back = ReadBackFrom(rig, cap10mF);
          EXPECT_FALSE(back.lost);
          ASSERT_TRUE(back.function.has_value());
          EXPECT_EQ(*back.function, f);
          if (seconds > 0) {
            EXPECT_TRUE(back.secondChoiceFound);
            EXPECT_EQ(back.secondChoice, p);
          }
          if (f == kContinuity || f == kDiode) {
            EXPECT_FALSE(back.rangePosition.has_value());
            continue;
          }
          EXPECT_TRUE(back.rangeFound);
          EXPECT_EQ(back.rangePosition, sensor);
          if (f == kTemperature) {
            EXPECT_EQ(back.primaryFourWire, s % 2);
            ASSERT_EQ(back.coefficients.has_value(), CoefficientLayoutFor(sensor) != nullptr);
            if (back.coefficients) {
              EXPECT_EQ(back.rangeBoxPosition, s);
              for (const CoefficientField& field : CoefficientLayoutFor(sensor)->fields)
                EXPECT_DOUBLE_EQ(back.coefficients->values[std::size_t(field.slot)],
                                 *r.coefficients[std::size_t(field.slot)]);
            }
          }
        }
      }
    }
  }
}

TEST(ReadBack, AsksItsQueriesInOrder) {
  using Setup = std::vector<const char*>;
  struct Case {
    const char* model;
    Setup setup;
    const char* sent;
  };
  const Case cases[] = {
      {"6081", Setup{"CONF:VOLT:DC", "SENS:VOLT:DC:RANG 10"},
       "func?\nSENS:VOLT:DC:NPLC?\nVOLT:DC:range:auto?\nVOLT:DC:range?\n"},
      {"6082", Setup{"CONF:VOLT:RAT"},
       "func?\nSENS:VOLT:DC:RAT:NPLC?\nSENS:CAP:rang? MAX\nSENS:VOLT:DC:RAT:RANGE:AUTO?\n"},
      {"6081", Setup{"CONF:FREQ"}, "func?\nSENS:FREQ:APER?\nSENS:FREQ:volt:rang:auto?\n"},
      {"6081", Setup{"CONF:TEMP"}, "func?\nSENS:UNIT?\nSENS:TEMPerature:TRANsducer?\nSENS:TEMP:RTD:TYPE?\n"},
      // The dual model asks the 2ND function before placing the sensor.
      {"6082", Setup{"CONF:TEMP", "SENS:TEMP:RTD:TYPE NTCT", "Function2 \"TCO\""},
       "func?\nSENS:UNIT?\nSENS:CAP:rang? MAX\nSENS:TEMPerature:TRANsducer?\nSENS:TEMP:RTD:TYPE?\nfunc2?\nUNIT?\n"
       "TCO:TYPE?\nTEMP:NTCT:A?\nTEMP:NTCT:B?\nTEMP:NTCT:C?\n"},
      {"6082", Setup{"CONF:TCO"}, "func?\nSENS:UNIT?\nSENS:CAP:rang? MAX\nSENS:TCO:TYPE?\nfunc2?\n"},
      {"6082", Setup{"CONF:CONT"}, "func?\nSENS:CAP:rang? MAX\n"},
  };
  for (const Case& c : cases) {
    test::MeterRig rig(c.model);
    for (const char* s : c.setup) rig.meter->Execute(s);
    ReadBackFrom(rig);
    EXPECT_EQ(rig.Sent(), test::Writes(c.sent)) << c.setup.front();
    EXPECT_TRUE(rig.meter->PendingErrors().empty()) << c.setup.front();
  }
}

// Answers the meter may give that no table holds, and the odd matches the tables allow.
TEST(ReadBack, MatchesAnswersByTheTablesRules) {
  using Answers = std::vector<std::pair<const char*, const char*>>;  // header pattern, answer
  struct Case {
    const char* name;
    const char* model;
    int function;
    std::optional<int> second;
    bool secondFound;
    std::optional<int> range;
    bool rangeFound;
    Answers answers;
    // The meter's setting where no entry holds it, as its box then says.
    std::optional<std::string> secondNotOffered = {}, rangeNotOffered = {};
  };
  const Case cases[] = {
      {"Ac1000Is750", "6081", kAcVoltage, 1, true, 5, true,
       Answers{{"FUNCtion", "VOLT:AC"}, {"VOLTage:AC:RANGe:AUTO", "0"}, {"VOLTage:AC:RANGe", "1000"}}},
      {"Freq1000Is750", "6081", kFrequency, 1, true, 5, true,
       Answers{{"FUNCtion", "FREQ"},
               {"[SENSe:]FREQuency:APERture", "0.1"},
               {"[SENSe:]FREQuency[:VOLTage]:RANGe:AUTO", "0"},
               {"[SENSe:]FREQuency[:VOLTage]:RANGe", "1000"}}},
      // A second setting between the table's values is not offered; the range is read all the same.
      {"NplcBetweenTableValues", "6082", kResistance2W, 10, false, 0, true,
       Answers{{"FUNCtion", "RES"}, {"[SENSe:]RESistance:NPLCycles", "0.5"}}, "0.5"},
      {"RangeNotANumberIsAuto", "6081", kDcCurrent, 3, true, 0, true,
       Answers{{"FUNCtion", "CURR"}, {"CURRent[:DC]:RANGe:AUTO", "0"}, {"CURRent[:DC]:RANGe", "junk"}}},
      {"RangeBetweenValues",
       "6081",
       kDcCurrent,
       3,
       true,
       8,
       false,
       Answers{{"FUNCtion", "CURR"}, {"CURRent[:DC]:RANGe:AUTO", "0"}, {"CURRent[:DC]:RANGe", "2"}},
       {},
       "2"},
      {"UnitByFirstLetterFound", "6081", kTemperature, 1, true, 0, true,
       Answers{{"FUNCtion", "TEMP"}, {"[SENSe:]UNIT", "FK"}}},
      {"UnknownSensor",
       "6081",
       kTemperature,
       0,
       true,
       9,
       false,
       Answers{{"FUNCtion", "TEMP"}, {"[SENSe:]TEMPerature:RTD:TYPE", "PT1000"}},
       {},
       "PT1000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    test::MeterRig rig(c.model);
    rig.Setup({"SENS:VOLT:DC:NPLC 10", "SENS:CURR:DC:NPLC 10", "SENS:DET:BAND 20"});
    for (const auto& [header, answer] : c.answers) rig.meter->CommandFaults().Answer(header, answer);
    const ReadBackResult r = ReadBackFrom(rig);
    EXPECT_EQ(r.function, c.function);
    EXPECT_EQ(r.secondChoice, c.second);
    EXPECT_EQ(r.secondChoiceFound, c.secondFound);
    EXPECT_EQ(r.rangePosition, c.range);
    EXPECT_EQ(r.rangeFound, c.rangeFound);
    EXPECT_EQ(r.secondChoiceNotOffered, c.secondNotOffered);
    EXPECT_EQ(r.rangeNotOffered, c.rangeNotOffered);
  }
  // An empty or unknown function answer ends at once; a silent meter is lost.
  for (const char* answer : {" ", "\"SWEEP\""}) {
    test::MeterRig rig("6081");
    rig.meter->CommandFaults().Answer("FUNCtion", answer);
    const ReadBackResult r = ReadBackFrom(rig);
    EXPECT_FALSE(r.function.has_value());
    EXPECT_FALSE(r.lost);
    EXPECT_EQ(rig.Sent().size(), 1u);
  }
  test::MeterRig silent("6081");
  silent.meter->Faults().silentAfter = 1;
  const ReadBackResult lost = ReadBackFrom(silent);
  EXPECT_TRUE(lost.lost);
  EXPECT_EQ(silent.Sent().size(), 2u);  // nothing more after the question that went unanswered
}

TEST(ReadBack, PlacesTheSecondFunctionInItsLists) {
  struct Case {
    std::vector<const char*> setup;
    const char* label;
    const char* range;   // expected 2ND range label, or null
    const char* second;  // expected 2ND second-choice text, or null
  };
  const Case cases[] = {
      {{"CONF:TCO", "Function2 \"RES\"", "RES:RANG 10000", "RES:NPLC 2"}, "RES", "10K OHM", "2"},
      {{"CONF:TCO", "Function2 \"CAP\"", "CAP:RANG 1e-9"}, "CAP", "1n F", nullptr},
      {{"CONF:VOLT:DC", "Function2 \"FREQ\"", "FREQ:VOLT:RANG 750", "FREQ:APER 1"}, "FREQ", "750 VAC", "1s"},
      {{"CONF:VOLT:AC", "Function2 \"PER\"", "PER:VOLT:RANG:AUTO ON", "PER:APER 0.01"}, "PERIOD", "AUTO", "0.01s"},
      {{"CONF:VOLT:DC", "Function2 \"VOLT:AC\"", "VOLT:AC:RANG 0.1", "DET:BAND 3"}, "ACV", "0.1 V", "3"},
      {{"CONF:TEMP", "Function2 \"TCO\"", "UNIT K", "TCO:TYPE N"}, "TCOUPL", "K", "N"},
      {{"CONF:TCO", "Function2 \"TEMP\"", "UNIT F", "TEMP:RTD:TYPE SPRTD"}, "TEMP", "F", "SPRTD"},
      {{"CONF:CONT"}, "NONE", nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.label);
    test::MeterRig rig("6082");
    for (const char* s : c.setup) rig.meter->Execute(s);
    auto session = rig.Open();
    bool lost = true;
    const SecondReadBack s = ReadBackSecondFunction(session.get(), "TCOUPLE", true, &lost);
    EXPECT_FALSE(lost);
    EXPECT_EQ(SecondSettingsEntries()[std::size_t(s.functionPosition)].label, c.label);
    const SecondPanelLists lists = SecondPanelListsFor(c.label, true);
    ASSERT_EQ(s.rangePosition.has_value(), c.range != nullptr);
    if (c.range) {
      EXPECT_EQ(lists.rangeItems[std::size_t(*s.rangePosition)], c.range);
    }
    ASSERT_EQ(s.secondPosition.has_value(), c.second != nullptr);
    if (c.second) {
      EXPECT_EQ(lists.secondItems[std::size_t(*s.secondPosition)], c.second);
    }
    EXPECT_TRUE(rig.meter->PendingErrors().empty());
  }
}

}  // namespace
}  // namespace merilog
