// The command parser and readings of the simulated meters.
#include "sim/SimMeter.h"

#include <gtest/gtest.h>

namespace merilog::sim {
namespace {

const char* const kNoError = "+0,\"No error\"";
const char* const kOutOfRange = "-222,\"Data out of range\"";

std::unique_ptr<SimMeter> MakeMeter(const std::string& model, int channels = -1, std::uint64_t seed = 7) {
  SimMeterDescription desc;
  desc.resource = "USB0::0x3A7D::0x6082::SN99::INSTR";
  desc.model = model;
  desc.channels = channels;
  desc.seed = seed;
  desc.overloadEvery = 0;
  return std::make_unique<SimMeter>(desc, nullptr);
}

// Sends each message in turn and compares its answer; settings answer "".
void Expect(SimMeter& m, std::initializer_list<std::pair<const char*, std::string>> steps) {
  for (const auto& [message, answer] : steps) EXPECT_EQ(m.Execute(message), answer) << message;
}

// The command set, header forms and error queue are exercised through the
// settings read-back, apply, console and scan tests, which go through these meters.

// Numbers a meter cannot hold are refused, never rounded into an integer.
TEST(SimMeterTest, NumbersOutsideTheirRangeAreRefused) {
  auto m = MakeMeter("P7700A", 20);
  for (const char* bad : {"*ESE 256", "*ESE 1e300", "*SRE -1", "SAMP:COUN 1e300", "ROUT:SCAN:FUNC? 1e300",
                          "ROUT:SCAN:FUNC? 20.5", "ROUT:SCAN:COUN 1e19"})
    Expect(*m, {{bad, ""}, {"SYST:ERR?", kOutOfRange}});
  Expect(*m, {{"*SRE 1E308 GV", ""}, {"SYST:ERR?", "-104,\"Data type error\""}});  // beyond any double
  Expect(*m, {{"*ESE 32.4;*SRE 255", ""}, {"*ESE?;*SRE?", "32;255"}, {"SYST:ERR?", kNoError}});
}

// Same seed, same readings: the example bench equals the default one through this.
TEST(SimMeterTest, ReadingsFollowTheSeed) {
  auto a = MakeMeter("6082", -1, 42), b = MakeMeter("6082", -1, 42), c = MakeMeter("6082", -1, 43);
  const std::string first = a->Execute("read?");
  EXPECT_EQ(b->Execute("read?"), first);
  EXPECT_NE(c->Execute("read?"), first);
  EXPECT_NE(a->Execute("read?"), first);  // noise
}

}  // namespace
}  // namespace merilog::sim
