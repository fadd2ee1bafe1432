// The command set and state of the simulated meters, model by model.
#include "sim/SimMeter.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace merilog::sim {
namespace {

std::unique_ptr<SimMeter> MakeMeter(const std::string& model, int channels = -1, std::uint64_t seed = 7,
                                    std::shared_ptr<const Clock> clock = nullptr) {
  SimMeterSpec spec;
  spec.resource = "USB0::0x3A7D::0x6082::SN99::INSTR";
  spec.model = model;
  spec.channels = channels;
  spec.seed = seed;
  spec.overloadEvery = 0;
  return std::make_unique<SimMeter>(spec, std::move(clock));
}

std::vector<double> Numbers(const std::string& answer) {
  std::vector<double> v;
  std::size_t start = 0;
  while (start <= answer.size()) {
    const auto comma = answer.find(',', start);
    v.push_back(std::atof(answer.substr(start, comma - start).c_str()));
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  return v;
}

// The next error of the queue, as SYST:ERR? answers it.
std::string NextError(SimMeter& m) {
  return m.Execute("SYST:ERR?");
}

TEST(SimMeterTest, FunctionButtonsSelectTheFunctionTheMeterReports) {
  auto m = MakeMeter("6082");
  const std::pair<const char*, const char*> cases[] = {
      {"CONF:VOLT:DC", "\"VOLT\""},
      {"CONF:CURR:DC", "\"CURR\""},
      {"CONF:VOLT:AC", "\"VOLT:AC\""},
      {"CONF:CURR:AC", "\"CURR:AC\""},
      {"CONF:RES", "\"RES\""},
      {"CONF:FRES", "\"FRES\""},
      {"CONF:FREQ", "\"FREQ\""},
      {"CONF:PER", "\"PER\""},
      {"CONF:CONT", "\"CONT\""},
      {"CONF:DIOD", "\"DIOD\""},
      {"CONF:TEMP", "\"TEMP\""},
      {"CONF:TCO", "\"TCO\""},
      {"CONF:CAP", "\"CAP\""},
      {"CONF:VOLT:RAT", "\"VOLT:RAT\""},
      // The settings dialog's function words and long forms in any case.
      {"CONF:DIODE", "\"DIOD\""},
      {"CONF:TCOUPLE", "\"TCO\""},
      {"configure:voltage:ac", "\"VOLT:AC\""},
      {":CONFigure:FRESistance", "\"FRES\""},
  };
  for (const auto& [command, answer] : cases) {
    EXPECT_EQ(m->Execute(command), "");
    EXPECT_EQ(m->Execute("func?"), answer) << command;
  }
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");
}

TEST(SimMeterTest, BasicModelLacksThermocoupleCapacitanceAndSecondFunction) {
  auto m = MakeMeter("6081");
  m->Execute("CONF:VOLT:AC");
  m->Execute("CONF:TCO");
  EXPECT_EQ(NextError(*m), "-113,\"Undefined header\"");
  m->Execute("CONF:CAP");
  EXPECT_EQ(NextError(*m), "-113,\"Undefined header\"");
  EXPECT_EQ(m->Execute("func?"), "\"VOLT:AC\"");
  EXPECT_EQ(m->Execute("func2?"), "");
  EXPECT_EQ(NextError(*m), "-113,\"Undefined header\"");
  m->Execute("Function2 \"FREQ\"");
  EXPECT_EQ(Numbers(m->Execute("read?")).size(), 1u);
  EXPECT_NE(m->Identification().find("6081"), std::string::npos);
  EXPECT_EQ(m->Identification().find("6082"), std::string::npos);
}

TEST(SimMeterTest, DualModelReadsMainAndSecondFunctionTogether) {
  auto m = MakeMeter("6082");
  EXPECT_EQ(m->Execute("func2?"), "\"NONE\"");
  EXPECT_EQ(Numbers(m->Execute("read?")).size(), 1u);

  m->Execute("Function2 \"VOLT:AC\"");
  EXPECT_EQ(m->Execute("func2?"), "\"VOLT:AC\"");
  const auto pair = Numbers(m->Execute("read?"));
  ASSERT_EQ(pair.size(), 2u);
  EXPECT_NEAR(pair[0], 1.23, 0.1);   // DC volts
  EXPECT_NEAR(pair[1], 0.50, 0.05);  // AC volts

  // The 2ND names of the settings dialog, with and without ":VOLT".
  m->Execute("Function2 \"FREQ:VOLT\"");
  EXPECT_EQ(m->Execute("func2?"), "\"FREQ\"");
  m->Execute("CONF:CURR:DC");
  m->Execute("Function2 \"FREQ:CURR\"");
  EXPECT_EQ(m->Execute("func2?"), "\"FREQ:CURR\"");
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");

  // A pair the meter cannot measure is refused; a new primary drops a 2ND it cannot keep.
  m->Execute("CONF:RES");
  EXPECT_EQ(m->Execute("func2?"), "\"NONE\"");
  m->Execute("Function2 \"VOLT\"");
  EXPECT_EQ(NextError(*m), "-221,\"Settings conflict\"");
  m->Execute("Function2 \"TCO\"");
  EXPECT_EQ(m->Execute("func2?"), "\"TCO\"");
  m->Execute("CONF:CONT");
  EXPECT_EQ(m->Execute("func2?"), "\"NONE\"");
}

TEST(SimMeterTest, VariantWithoutThermocoupleAsSecondFunction) {
  auto m = MakeMeter("MR6082");
  EXPECT_NE(m->Identification().find("MR6082"), std::string::npos);
  m->Execute("CONF:VOLT:DC");
  m->Execute("Function2 \"TCO\"");
  EXPECT_EQ(NextError(*m), "-221,\"Settings conflict\"");
  m->Execute("Function2 \"CURR\"");
  EXPECT_EQ(m->Execute("func2?"), "\"CURR\"");
}

TEST(SimMeterTest, RangesSnapUpAndAutoRangeFollowsTheSignal) {
  auto m = MakeMeter("6081");
  m->Execute("CONF:VOLT:DC");
  EXPECT_EQ(m->Execute("VOLT:DC:RANGe:AUTO?"), "1");
  EXPECT_EQ(m->Execute("VOLT:DC:range?"), "+1.00000000E+01");  // 1.2 V needs the 10 V range

  // The settings dialog's sequence for a fixed range.
  m->Execute("SENS:VOLT:DC:RANGE:AUTO 0");
  m->Execute("SENS:VOLT:DC:RANGE 100.000000000000");
  EXPECT_EQ(m->Execute("SENS:VOLT:DC:RANGE?"), "+1.00000000E+02");
  EXPECT_EQ(m->Execute("VOLT:DC:RANG:AUTO?"), "0");
  m->Execute("SENS:VOLT:DC:RANGE 5");
  EXPECT_EQ(m->Execute("SENS:VOLT:DC:RANGE?"), "+1.00000000E+01");
  m->Execute("SENS:VOLT:DC:RANGE 2000");
  EXPECT_EQ(NextError(*m), "-222,\"Data out of range\"");
  EXPECT_EQ(m->Execute("SENS:VOLT:DC:RANGE?"), "+1.00000000E+01");

  // Too small a fixed range reads as overload.
  m->Execute("SENS:VOLT:DC:RANGE 0.1");
  EXPECT_EQ(m->Execute("read?"), "+9.90000000E+37");
  m->Execute("SENS:VOLT:DC:RANG:AUTO 1");
  EXPECT_LT(Numbers(m->Execute("read?"))[0], 2.0);

  // AC voltage: the 750 V range is reported as 1000.
  m->Execute("SENS:VOLT:AC:RANGE 750.000000000000");
  EXPECT_EQ(m->Execute("SENS:VOLT:AC:RANGE?"), "+1.00000000E+03");
  // Frequency is ranged on its input voltage, under either name.
  m->Execute("SENS:FREQ:volt:rang 750.0");
  EXPECT_EQ(m->Execute("FREQ:VOLT:range?"), "+1.00000000E+03");
  EXPECT_EQ(m->Execute("FREQ:RANGe:AUTO?"), "0");
  m->Execute("SENS:FREQ:volt:rang:auto on");
  EXPECT_EQ(m->Execute("SENS:FREQ:volt:rang:auto?"), "1");
  // Turning auto off keeps the range auto-ranging had chosen.
  m->Execute("CONF:RES");
  m->Execute("RES:RANG:AUTO OFF");
  EXPECT_EQ(m->Execute("RES:RANG?"), "+1.00000000E+03");
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");
}

TEST(SimMeterTest, SecondFunctionRangeTextsWithUnitsAndTrailingBlanks) {
  auto m = MakeMeter("6082");
  m->Execute("VOLT:range 0.1 V");
  EXPECT_EQ(m->Execute("VOLT:range?"), "+1.00000000E-01");
  m->Execute("RES:range 10000 ");
  EXPECT_EQ(m->Execute("RES:range?"), "+1.00000000E+04");
  m->Execute("CAP:range 1E-9");
  EXPECT_EQ(m->Execute("CAP:range?"), "+1.00000000E-09");
  m->Execute("CURR:AC:range 100 mA");
  EXPECT_EQ(m->Execute("CURR:AC:range?"), "+1.00000000E+00");
  m->Execute("FREQ:CURR:range:auto ON");
  EXPECT_EQ(m->Execute("FREQ:CURR:range:auto?"), "1");
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");
  // Functions without a range have no range header.
  m->Execute("TEMP:RANG 1");
  EXPECT_EQ(NextError(*m), "-113,\"Undefined header\"");
}

TEST(SimMeterTest, DcCurrentKeepsItsHighRangesWhileASecondFunctionRuns) {
  auto m = MakeMeter("6082");
  m->Execute("CONF:CURR:DC");
  m->Execute("SENS:CURR:DC:RANGE 0.01");
  m->Execute("Function2 \"VOLT\"");
  EXPECT_EQ(m->Execute("SENS:CURR:DC:RANGE?"), "+1.00000000E+00");
  m->Execute("SENS:CURR:DC:RANGE 0.1");
  EXPECT_EQ(NextError(*m), "-221,\"Settings conflict\"");
  m->Execute("SENS:CURR:DC:RANGE 10");
  EXPECT_EQ(m->Execute("SENS:CURR:DC:RANGE?"), "+1.00000000E+01");
}

TEST(SimMeterTest, CapacitanceRangesDependOnTheCard) {
  auto m = MakeMeter("6082");
  EXPECT_EQ(m->Execute("SENS:CAP:rang? MAX"), "+1.00000000E-02");
  SimMeterSpec spec;
  spec.resource = "GPIB0::3::INSTR";
  spec.model = "6082";
  spec.capMaxRange = 1e-4;
  SimMeter small(spec, nullptr);
  EXPECT_EQ(small.Execute("SENS:CAP:rang? MAX"), "+1.00000000E-04");
  small.Execute("CAP:RANG 0.01");
  EXPECT_EQ(NextError(small), "-222,\"Data out of range\"");
}

TEST(SimMeterTest, IntegrationTimeBandwidthAndAperture) {
  auto dual = MakeMeter("6082");
  dual.get()->Execute("SENS:VOLT:DC:NPLC 0.02");
  EXPECT_EQ(dual->Execute("SENS:VOLT:DC:NPLC?"), "+2.00000000E-02");
  dual->Execute("VOLT:nplc 0.006");  // the 2ND form of the same setting
  EXPECT_EQ(dual->Execute("SENS:VOLT:DC:NPLC?"), "+6.00000000E-03");
  dual->Execute("SENS:VOLT:DC:RAT:NPLC 2");
  EXPECT_EQ(dual->Execute("SENS:VOLT:DC:RAT:NPLC?"), "+2.00000000E+00");
  EXPECT_EQ(dual->Execute("SENS:VOLT:DC:NPLC?"), "+6.00000000E-03");

  auto basic = MakeMeter("6081");
  basic->Execute("SENS:RES:NPLC 0.1");
  EXPECT_EQ(basic->Execute("SENS:RES:NPLC?"), "+1.00000000E-01");
  basic->Execute("SENS:RES:NPLC 0.5");  // not offered: the next longer one
  EXPECT_EQ(basic->Execute("SENS:RES:NPLC?"), "+1.00000000E+00");
  basic->Execute("SENS:RES:NPLC 1000");
  EXPECT_EQ(NextError(*basic), "-222,\"Data out of range\"");
  basic->Execute("SENS:VOLT:AC:NPLC 1");
  EXPECT_EQ(NextError(*basic), "-113,\"Undefined header\"");

  basic->Execute("SENS:DET:BAND 3");
  EXPECT_EQ(basic->Execute("det:band?"), "+3.00000000E+00");
  EXPECT_EQ(std::atoi(basic->Execute("det:band?").c_str()), 3);
  basic->Execute("DETector:BANDwidth 200");
  EXPECT_EQ(basic->Execute("SENS:DET:BAND?"), "+2.00000000E+02");

  // One gate time serves frequency and period, whichever name sets it.
  basic->Execute("SENS:freq:APER 1");
  EXPECT_EQ(basic->Execute("SENS:PER:APER?"), "+1.00000000E+00");
  dual->Execute("FREQ:aper 0.01");
  EXPECT_EQ(dual->Execute("PER:CURR:APERture?"), "+1.00000000E-02");
  EXPECT_EQ(NextError(*dual), "+0,\"No error\"");
}

TEST(SimMeterTest, TemperatureSensorsUnitsAndCoefficients) {
  auto m = MakeMeter("6082");
  m->Execute("CONF:TEMP");
  EXPECT_EQ(m->Execute("SENS:TEMP:RTD:TYPE?"), "PT100");
  m->Execute("SENS:TEMP:RTD:TYPE NTCT");
  EXPECT_EQ(m->Execute("TEMP:RTD:TYPE?"), "NTCT");
  m->Execute("SENS:TEMPerature:TRANsducer FRTD");
  EXPECT_EQ(m->Execute("SENS:TEMPerature:TRANsducer?"), "FRTD");

  const double celsius = Numbers(m->Execute("read?"))[0];
  m->Execute("SENS:UNIT F");
  EXPECT_EQ(m->Execute("SENS:UNIT?"), "F");
  EXPECT_EQ(m->Execute("UNIT?"), "F");
  EXPECT_NEAR(Numbers(m->Execute("read?"))[0], celsius * 9 / 5 + 32, 0.5);
  m->Execute("UNIT K");
  EXPECT_NEAR(Numbers(m->Execute("read?"))[0], celsius + 273.15, 0.5);

  m->Execute("SENS:TEMP:RTD:ALPH 0.004");
  EXPECT_EQ(m->Execute("SENS:TEMP:RTD:ALPH?"), "+4.00000000E-03");
  m->Execute("SENS:TEMP:RTD:ALPH 0.02");  // outside 0 to 0.01: refused, value kept
  EXPECT_EQ(NextError(*m), "-222,\"Data out of range\"");
  EXPECT_EQ(m->Execute("SENS:TEMP:RTD:ALPH?"), "+4.00000000E-03");
  m->Execute("SENS:TEMP:SPRTD:Ax -0.25");
  EXPECT_EQ(m->Execute("SENS:TEMP:SPRTD:AX?"), "-2.50000000E-01");
  m->Execute("SENS:TEMP:SPRTD:RZER 25");
  EXPECT_EQ(m->Execute("SENS:TEMP:SPRTD:RZER?"), "+2.50000000E+01");
  m->Execute("TEMP:NTCT:C 0.001");
  EXPECT_EQ(m->Execute("TEMP:NTCT:C?"), "+1.00000000E-03");

  m->Execute("SENS:TCO:TYPE J");
  EXPECT_EQ(m->Execute("SENS:TCO:TYPE?"), "J");
  EXPECT_EQ(m->Execute("TCO:TYPE?"), "J");
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");

  // The basic model knows no NTC thermistor.
  auto basic = MakeMeter("6081");
  basic->Execute("SENS:TEMP:RTD:TYPE NTCT");
  EXPECT_EQ(NextError(*basic), "-224,\"Illegal parameter value\"");
  basic->Execute("SENS:TEMP:RTD:TYPE SPRTD");
  EXPECT_EQ(basic->Execute("SENS:TEMP:RTD:TYPE?"), "SPRTD");
}

TEST(SimMeterTest, SampleCountSetsHowManyReadingsOneReadGives) {
  auto m = MakeMeter("6081");
  m->Execute("sample:count 1");
  EXPECT_EQ(m->Execute("SAMP:COUN?"), "1");
  m->Execute("sample:count 5");
  EXPECT_EQ(Numbers(m->Execute("read?")).size(), 5u);
  m->Execute("sample:count 50001");
  EXPECT_EQ(NextError(*m), "-222,\"Data out of range\"");
  m->Execute("CONF:VOLT:DC");  // configuring returns to one reading
  EXPECT_EQ(Numbers(m->Execute("read?")).size(), 1u);
}

TEST(SimMeterTest, MessagesWithSeveralCommandsAndErrors) {
  auto m = MakeMeter("6082");
  EXPECT_EQ(m->Execute("CONF:VOLT:AC;:func?;*IDN?"), "\"VOLT:AC\";" + m->Identification());
  // A command after ';' continues the previous header path.
  EXPECT_EQ(m->Execute("SENS:VOLT:DC:RANG 10;NPLC 1;NPLC?"), "+1.00000000E+00");
  EXPECT_EQ(m->Execute("SENS:VOLT:DC:RANG?"), "+1.00000000E+01");

  EXPECT_EQ(m->Execute("VOLT:DC:FOO?"), "");
  m->Execute("SENS:VOLT:DC:RANG ten");
  m->Execute("CONF::VOLT");  // syntax error ends the message
  m->Execute("sample:count");
  EXPECT_EQ(NextError(*m), "-113,\"Undefined header\"");
  EXPECT_EQ(NextError(*m), "-104,\"Data type error\"");
  EXPECT_EQ(NextError(*m), "-102,\"Syntax error\"");
  EXPECT_EQ(NextError(*m), "-109,\"Missing parameter\"");
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");

  m->Execute("BOGUS");
  EXPECT_EQ(m->Execute("*STB?"), "4");
  EXPECT_EQ(m->Execute("*ESR?"), "32");
  m->Execute("*cls");
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");
  for (int i = 0; i < 30; ++i) m->Execute("BOGUS");
  EXPECT_EQ(m->PendingErrors().size(), 20u);
  EXPECT_EQ(m->PendingErrors().back(), "-350,\"Queue overflow\"");
  m->Execute("L0");  // the scan search's greeting is harmless
  m->Execute("*CLS");
  m->Execute("L0");
  EXPECT_TRUE(m->PendingErrors().empty());
}

TEST(SimMeterTest, RatioVariantIsABasicMeterWithRatioSettings) {
  auto m = MakeMeter("P7710");
  EXPECT_NE(m->Identification().find("6081"), std::string::npos);
  EXPECT_NE(m->Identification().find("P7710"), std::string::npos);
  m->Execute("CONF:VOLT:RAT");
  EXPECT_EQ(m->Execute("func?"), "\"VOLT:RAT\"");
  EXPECT_EQ(m->Execute("VOLT:DC:RAT:RANG:AUTO?"), "1");
  m->Execute("SENS:VOLT:DC:RAT:RANGE 1");
  EXPECT_EQ(m->Execute("VOLT:DC:RAT:range?;:VOLT:DC:RAT:RANG:AUTO?"), "+1.00000000E+00;0");
  EXPECT_EQ(m->Execute("VOLT:DC:RANG:AUTO?"), "1");  // plain DC volts keep their own setting
  EXPECT_NEAR(Numbers(m->Execute("read?"))[0], 0.5, 0.05);
}

TEST(SimMeterTest, HeadersFollowScpiShortAndLongForms) {
  auto m = MakeMeter("6082");
  // Short form, long form, any case; other abbreviations are not the keyword.
  for (const char* ok : {"SENS:VOLT:DC:RANG 1", "sense:voltage:dc:range 1", "Sens:Volt:Rang:Upp 1", ":VOLT:RANG 1"}) {
    m->Execute(ok);
    EXPECT_EQ(NextError(*m), "+0,\"No error\"") << ok;
  }
  for (const char* bad : {"SENSE:VOLTA:DC:RANG 1", "SEN:VOLT:RANG 1", "VOLT:DC:RAT:RAT:RANG 1", "VOLT:DC$:RANG 1"}) {
    m->Execute(bad);
    EXPECT_NE(NextError(*m), "+0,\"No error\"") << bad;
  }
  // Quoted parameters keep their ';' and ',' and case.
  m->Execute("FUNC \"volt:ac\";:Function2 'FREQ'");
  EXPECT_EQ(m->Execute("func?;func2?"), "\"VOLT:AC\";\"FREQ\"");
  m->Execute("FUNC \"VOLT;AC\"");
  EXPECT_EQ(NextError(*m), "-224,\"Illegal parameter value\"");
}

TEST(SimMeterTest, ResetReturnsToPowerOnState) {
  auto m = MakeMeter("6082");
  m->Execute("CONF:VOLT:AC;:Function2 \"FREQ\";:DET:BAND 3;:UNIT K;:SAMP:COUN 4");
  m->Execute("*RST");
  EXPECT_EQ(m->Execute("func?;func2?;DET:BAND?;UNIT?;SAMP:COUN?"), "\"VOLT\";\"NONE\";+2.00000000E+01;C;1");
}

TEST(SimMeterTest, ReadingsRepeatForTheSameSeedAndDifferOtherwise) {
  auto a = MakeMeter("6082", -1, 42);
  auto b = MakeMeter("6082", -1, 42);
  auto c = MakeMeter("6082", -1, 43);
  std::vector<std::string> ra, rb, rc;
  for (const char* fn : {"CONF:VOLT:DC", "CONF:RES", "CONF:FREQ"}) {
    for (auto* m : {a.get(), b.get(), c.get()}) m->Execute(fn);
    for (int i = 0; i < 20; ++i) {
      ra.push_back(a->Execute("read?"));
      rb.push_back(b->Execute("read?"));
      rc.push_back(c->Execute("read?"));
    }
  }
  EXPECT_EQ(ra, rb);
  EXPECT_NE(ra, rc);
  // Readings move (noise) but stay near the signal level.
  EXPECT_NE(ra[0], ra[1]);
  EXPECT_NEAR(std::atof(ra[0].c_str()), std::atof(ra[1].c_str()), 1e-3);
}

TEST(SimMeterTest, OccasionalOverloadAtTheConfiguredRate) {
  SimMeterSpec spec;
  spec.resource = "GPIB0::9::INSTR";
  spec.model = "6081";
  spec.overloadEvery = 10;
  SimMeter m(spec, nullptr);
  int overloads = 0;
  for (int i = 0; i < 2000; ++i)
    if (m.Execute("read?") == "+9.90000000E+37") ++overloads;
  EXPECT_GT(overloads, 120);
  EXPECT_LT(overloads, 300);
}

TEST(SimMeterTest, PowerSupplyIsNoMeter) {
  auto psu = MakeMeter("PSU");
  EXPECT_EQ(psu->Identification().find("6081"), std::string::npos);
  EXPECT_EQ(psu->Execute("func?"), "");
  EXPECT_EQ(NextError(*psu), "-113,\"Undefined header\"");
  psu->Execute("VOLT 5;:CURR 1;:OUTP ON");
  EXPECT_EQ(psu->Execute("MEAS:VOLT?"), "+5.00000000E+00");
  EXPECT_EQ(psu->Execute("MEAS:CURR?"), "+5.00000000E-02");
}

// --- Scanner card ---

class ScannerTest : public ::testing::Test {
 protected:
  std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>(QDateTime(QDate(2026, 3, 4), QTime(10, 0, 0)));
};

TEST_F(ScannerTest, CardSizeAndChannelFunctions) {
  EXPECT_EQ(MakeMeter("P7700A", 20)->Execute("Rout:state?"), "20");
  EXPECT_EQ(MakeMeter("P7700A", 10)->Execute("Rout:state?"), "10");
  EXPECT_EQ(MakeMeter("P7700A", 0)->Execute("Rout:state?"), "0");
  auto plain = MakeMeter("6081");
  EXPECT_EQ(plain->Execute("Rout:state?"), "");
  EXPECT_EQ(NextError(*plain), "-113,\"Undefined header\"");

  auto m = MakeMeter("P7700A", 20);
  EXPECT_EQ(m->Execute("Rout:scan:func? 5"), "\"NONE\"");
  m->Execute("rout:scan:func 3,\"VOLT:DC\"");
  m->Execute("rout:scan:func 4,\"VOLT:AC\"");
  m->Execute("rout:scan:func 5,\"CURR:DC\"");
  EXPECT_EQ(m->Execute("Rout:scan:func? 3"), "\"VOLT\"");
  EXPECT_EQ(m->Execute("Rout:scan:func? 4"), "\"VOLT:AC\"");
  EXPECT_EQ(m->Execute("Rout:scan:func? 5"), "\"CURR\"");
  m->Execute("rout:scan:func 13,\"FRES\"");  // the upper half is the sense side of 4W pairs
  EXPECT_EQ(NextError(*m), "-221,\"Settings conflict\"");
  m->Execute("rout:scan:func 21,\"VOLT:DC\"");
  EXPECT_EQ(NextError(*m), "-222,\"Data out of range\"");
  m->Execute("rout:scan:func 1,\"TEMP\"");
  EXPECT_EQ(NextError(*m), "-224,\"Illegal parameter value\"");
}

TEST_F(ScannerTest, ScanProgressesWithTheClockAndFetchesInChannelOrder) {
  auto m = MakeMeter("P7700A", 10, 7, clock);
  m->Execute("rout:scan:func 1,\"FRES\"");     // uses channel 6 as its pair
  m->Execute("rout:scan:func 6,\"VOLT:DC\"");  // not scanned: channel 6 is taken by the pair
  m->Execute("rout:scan:func 2,\"VOLT:DC\"");
  m->Execute("Rout:scan:count 6");
  m->Execute("Rout:scan:timer 0.500000");
  EXPECT_EQ(m->Execute("Rout:scan:count?;timer?"), "6;+5.00000000E-01");
  m->Execute("route:scan");
  EXPECT_EQ(m->Execute("Rout:scan:state?"), "0");
  clock->AdvanceMs(1200);
  EXPECT_EQ(m->Execute("Rout:scan:state?"), "2");
  clock->AdvanceMs(10000);
  EXPECT_EQ(m->Execute("Rout:scan:state?"), "6");

  const auto values = Numbers(m->Execute("fetch?"));
  ASSERT_EQ(values.size(), 6u);
  for (std::size_t i = 0; i < values.size(); i += 2) {
    EXPECT_NEAR(values[i], 99.9 * 0.6, 10);       // channel 1, four-wire ohms
    EXPECT_NEAR(values[i + 1], 1.23 * 0.7, 0.2);  // channel 2, DC volts
  }
  // Fetching again gives the same readings.
  EXPECT_EQ(Numbers(m->Execute("fetch?")), values);
  EXPECT_EQ(NextError(*m), "+0,\"No error\"");
}

TEST_F(ScannerTest, StepModeAbortAndEmptyScans) {
  auto m = MakeMeter("P7700A", 20, 7, clock);
  m->Execute("Rout:scan:count 5");
  m->Execute("route:scan");
  EXPECT_EQ(NextError(*m), "-221,\"Settings conflict\"");  // nothing to scan

  m->Execute("rout:scan:func 20,\"FREQ\"");
  m->Execute("Rout:scan:timer 1");
  m->Execute("route:scan:step");
  clock->AdvanceMs(2500);
  m->Execute("ROUT:SCAN:ABOR");
  clock->AdvanceMs(10000);
  EXPECT_EQ(m->Execute("Rout:scan:state?"), "2");
  EXPECT_EQ(Numbers(m->Execute("fetch?")).size(), 2u);
}

}  // namespace
}  // namespace merilog::sim
