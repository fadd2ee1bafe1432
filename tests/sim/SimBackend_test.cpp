#include "sim/SimBackend.h"

#include <gtest/gtest.h>

#include "core/instrument/DeviceEntry.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceManager.h"
#include "sim/SimSession.h"

namespace merilog::sim {
namespace {

const std::string kBasic = "USB0::0x3A7D::0x6081::SN01::INSTR";
const std::string kSupply = "USB0::0x3A7D::0x3303::PS01::INSTR";
const std::string kDual = "USB0::0x3A7D::0x6082::SN02::INSTR";
const std::string kGpib = "GPIB0::16::INSTR";
const std::string kScanner = "USB0::0x3A7E::0x7700::SN04::INSTR";

std::string Ask(Session& s, const std::string& command) {
  EXPECT_EQ(s.Write(command), status::kSuccess);
  return ReadAnswer(s).bytes;
}

class SimBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    bench = SimBench::Default();
    rm.AddBackend(std::make_unique<SimBackend>(bench));
  }
  std::unique_ptr<Session> Open(const std::string& r) {
    Status st = 0;
    auto s = rm.Open(r, &st);
    EXPECT_EQ(st, status::kSuccess) << r;
    return s;
  }
  std::shared_ptr<SimBench> bench;
  ResourceManager rm;
};

TEST_F(SimBackendTest, DefaultBenchListsInDiscoveryOrder) {
  EXPECT_EQ(rm.Find("USB[0-9]::0x3A7D::?*INSTR"), (std::vector<std::string>{kBasic, kSupply, kDual}));
  EXPECT_EQ(rm.Find("GPIB[0-9]?*INSTR"), (std::vector<std::string>{kGpib}));
  // The scan search takes any vendor, so it also finds the scanner-capable meter.
  EXPECT_EQ(rm.Find("USB[0-9]::?*INSTR"), (std::vector<std::string>{kBasic, kSupply, kDual, kScanner}));
}

TEST_F(SimBackendTest, IdentificationsGiveTheExpectedDisplayNames) {
  const std::pair<std::string, std::string> expected[] = {
      {kBasic, "MODEL 6081-USBTMC-SN01"},
      {kDual, "MODEL 6082-USBTMC-SN02"},
      {kGpib, "MODEL 6081-GPIB-16"},
      {kScanner, "MODEL P7700A-USBTMC-SN04"},
  };
  for (const auto& [resource, name] : expected) {
    auto s = Open(resource);
    ASSERT_TRUE(s);
    const std::string idn = TrimRight(Ask(*s, "*IDN?\n"));
    EXPECT_EQ(MakeDeviceDisplayName(idn, resource), name);
  }
  auto supply = Open(kSupply);
  const std::string idn = Ask(*supply, "*IDN?\n");
  EXPECT_EQ(idn.find("6081"), std::string::npos);
  EXPECT_EQ(idn.find("6082"), std::string::npos);
  EXPECT_FALSE(idn.empty());
}

}  // namespace
}  // namespace merilog::sim
