// Bench description files: a good file builds the bench it describes; a bad one
// is refused with a message that names the file, the line and the problem.
#include "sim/SimBench.h"

#include <gtest/gtest.h>

#include <QFile>

#include "support/TestSupport.h"

namespace merilog::sim {
namespace {

TEST(SimBenchTest, ExampleFileDescribesTheDefaultBench) {
  std::string error;
  auto file = SimBench::LoadFile(std::string(MERILOG_SOURCE_DATA_DIR) + "/bench-example.ini", &error);
  ASSERT_TRUE(file) << error;
  auto def = SimBench::Default();
  EXPECT_EQ(file->Resources(), def->Resources());
  for (const auto& m : def->Meters()) {
    const SimMeter* twin = file->Meter(m->Resource());
    ASSERT_TRUE(twin);
    EXPECT_EQ(twin->Identification(), m->Identification());
    EXPECT_EQ(twin->Channels(), m->Channels());
    EXPECT_EQ(const_cast<SimMeter*>(twin)->Execute("read?;Rout:scan:func? 4"),
              const_cast<SimMeter*>(m.get())->Execute("read?;Rout:scan:func? 4"));
  }
}

TEST(SimBenchTest, BadFilesAreRefusedWithFileLineAndReason) {
  const std::string r = "[meter]\nresource = GPIB0::1::INSTR\n";
  // Problems of a whole section are reported at its [meter] line.
  const std::pair<std::string, std::string> cases[] = {
      {r + "modle = 6081\n", "bench.ini:3: unknown key \"modle\""},
      {"resource = GPIB0::1::INSTR\n", "bench.ini:1: a key before the first [meter] section"},
      {"[meters]\n", "bench.ini:1: unknown section [meters]; only [meter]"},
      {"[meter\n", "bench.ini:1: a section line must end with ']'"},
      {"[meter]\njust words\n", "bench.ini:2: expected key = value, a [meter] line or a comment"},
      {"[meter]\nmodel = 6081\n", "bench.ini:1: this [meter] section has no resource"},
      {r + "seed = 1\nseed = 2\n", "bench.ini:4: \"seed\" is given twice in this [meter] section"},
      {r + "channels = 12\n", "bench.ini:3: channels must be 0, 10 or 20, not \"12\""},
      {r + "seed = 99999999999999999999\n", "seed must be a whole number from 0"},
      {r + "silent-after = soon\n", "bench.ini:3: fault silent-after needs a whole number from 0, not \"soon\""},
      {"\n" + r + "model = 9999\n", "bench.ini:2: unknown model \"9999\""},
      {"[meter]\nresource = COM1\n", "bench.ini:1: \"COM1\" is not a resource"},
      {r + "[meter]\nresource = gpib0::1::instr\n", "bench.ini:3: \"gpib0::1::instr\" is on the bench already"},
      {r + "model = 6081\nchannels = 20\n", "bench.ini:1: model 6081 takes no scanner card; channels must be 0"},
      {r + "model = 6081\nsetup = CONF:CAP\n",
       "bench.ini:1: setup of GPIB0::1::INSTR was refused by the meter: -113,\"Undefined header\""},
  };
  for (const auto& [text, message] : cases) {
    std::string error;
    EXPECT_EQ(SimBench::LoadText(text, "bench.ini", &error), nullptr) << text;
    EXPECT_NE(error.find(message), std::string::npos) << error;
  }
}

TEST(SimBenchTest, FilesThatCannotBeRead) {
  test::TempFolder dir;
  std::string error;
  EXPECT_FALSE(SimBench::LoadFile(dir.PathStd() + "/missing.ini", &error));
  EXPECT_NE(error.find("cannot read the bench file " + dir.PathStd() + "/missing.ini"), std::string::npos);

  QFile big(dir.File("big.ini"));
  ASSERT_TRUE(big.open(QIODevice::WriteOnly));
  big.write(QByteArray(2 << 20, ';'));
  big.close();
  EXPECT_FALSE(SimBench::LoadFile(big.fileName().toStdString(), &error));
  EXPECT_NE(error.find("larger than 1 MB"), std::string::npos);
}

TEST(SimBenchTest, AddChecksResourceNames) {
  const std::string huge = "USB0::0x3A7D::0x6081::" + std::string(100000, 'S') + "::INSTR";
  for (const auto& [name, ok] : {std::pair<std::string, bool>{"usb12::0x3a7d::0x6081::A-1::instr", true},
                                 {"GPIB0::30::INSTR", true},
                                 {"USB0::0x3A7D::6081::SN01::INSTR", false},
                                 {"GPIB0::05::INSTR", false},
                                 {huge, false}})
    EXPECT_EQ(IsSimResourceName(name), ok) << name.substr(0, 40);
  SimBench bench;
  SimMeterDescription description;
  description.resource = huge;
  std::string error;
  EXPECT_FALSE(bench.Add(description, &error));
  EXPECT_EQ(error, "a resource of 100029 characters is longer than 1024");
}

}  // namespace
}  // namespace merilog::sim
