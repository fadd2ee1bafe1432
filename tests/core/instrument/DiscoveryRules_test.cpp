#include <gtest/gtest.h>

#include <QFile>

#include "core/instrument/DeviceDiscovery.h"
#include "core/instrument/DeviceListModel.h"
#include "core/measure/FrontPanelState.h"
#include "support/TestSupport.h"

using namespace merilog;

TEST(DiscoveryRules, ModelNumberMustFollowTheFirstCharacter) {
  EXPECT_TRUE(IsSupportedIdentification("MERISIM,MR6082,SN1,1.0"));
  EXPECT_TRUE(IsSupportedIdentification("x6082"));
  EXPECT_FALSE(IsSupportedIdentification("6081,MERISIM,SN1,1.0"));
  EXPECT_FALSE(IsSupportedIdentification("MERISIM,PSU 3005,SN1,1.0"));
  EXPECT_FALSE(IsSupportedIdentification(""));
}

// The row chosen for a meter: its model number wherever it stands in the short
// name (6082 before 6081), else the row of the reading mode.
TEST(DiscoveryRules, ShortNamesAndFrontPanelAdaptation) {
  enum Row { k6082, k6081, kOtherSingle, kOtherMulti };
  const struct {
    std::string line;
    bool single;
    std::string shortName;
    Row row;
  } cases[] = {
      // A model field with a leading blank (" MODEL 6081") is shortened; at position 0 it is kept whole.
      {" MODEL 6081-USBTMC-SN01", true, "6081-USBTMC-SN01", k6081},
      {"MODEL 6082-GPIB-16", false, "MODEL 6082-GPIB-16", k6082},
      {" QDM-5963 6082-LAN-h", true, "5963 6082-LAN-h", k6082},
      {"A MODEL 6081-6082", true, "6081-6082", k6082},
      {"P7700A-USBTMC-1", true, "P7700A-USBTMC-1", kOtherSingle},
      {"P7700A-USBTMC-1", false, "P7700A-USBTMC-1", kOtherMulti},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(ShortDeviceName(c.line), c.shortName);
    EXPECT_EQ(&FindFunctionControlAdaptation(ShortDeviceName(c.line), c.single), &FunctionControlAdaptations()[c.row]);
  }
}

TEST(DiscoveryRules, ConfiguredLanResourcesInNumberOrder) {
  test::TempFolder dir;
  const QString path = dir.Write("MERILOG.ini",
                                 "[English(U.S)]\n1000=No Device Connected\n"
                                 "[Instruments]\n"
                                 "Resource10=TCPIP0::127.0.0.10::5025::SOCKET\n"
                                 "Resource2 = TCPIP0::127.0.0.2::5025::SOCKET\n"
                                 "Resource1=\n"
                                 "resource3=TCPIP0::host,with,commas::5025::SOCKET\n"
                                 "Other=TCPIP0::127.0.0.99::5025::SOCKET\n"
                                 "[Information]\nResource1=TCPIP0::wrong::1::SOCKET\n");
  ASSERT_FALSE(path.isEmpty());
  const std::vector<std::string> expected = {
      "TCPIP0::127.0.0.2::5025::SOCKET", "TCPIP0::host,with,commas::5025::SOCKET", "TCPIP0::127.0.0.10::5025::SOCKET"};
  EXPECT_EQ(ReadConfiguredResources(path), expected);

  auto all = DiscoveryLanResources(path, {"TCPIP0::cli::5025::SOCKET"});
  ASSERT_EQ(all.size(), 4u);
  EXPECT_EQ(all.back(), "TCPIP0::cli::5025::SOCKET");
  EXPECT_TRUE(ReadConfiguredResources(dir.File("missing.ini")).empty());
}
