#include "core/instrument/LanResource.h"

#include <gtest/gtest.h>

#include "core/instrument/DeviceEntry.h"

namespace merilog {
namespace {

using P = LanResource::Protocol;

TEST(LanResource, TheThreeFormsMetersShow) {
  struct Case {
    const char* resource;
    P protocol;
    const char* host;
    int port;
    const char* device;
  };
  for (const Case& c : {
           Case{"TCPIP0::127.0.1.40::inst0::INSTR", P::Vxi11, "127.0.1.40", 0, "inst0"},
           Case{"tcpip::meter.lab::INSTR", P::Vxi11, "meter.lab", 0, "inst0"},
           Case{"TCPIP1::gw::gpib0,5::INSTR", P::Vxi11, "gw", 0, "gpib0,5"},
           Case{"TCPIP0::127.0.0.7::hislip0::INSTR", P::Hislip, "127.0.0.7", 4880, "hislip0"},
           Case{"TCPIP0::[fe80::1]::HiSLIP2,4881::INSTR", P::Hislip, "fe80::1", 4881, "HiSLIP2"},
           Case{"TCPIP0::h::5025::SOCKET", P::Socket, "h", 5025, ""},
       }) {
    const auto r = LanResource::Parse(c.resource);
    ASSERT_TRUE(r) << c.resource;
    EXPECT_EQ(r->protocol, c.protocol) << c.resource;
    EXPECT_EQ(r->host, c.host) << c.resource;
    EXPECT_EQ(r->port, c.port) << c.resource;
    EXPECT_EQ(r->deviceName, c.device) << c.resource;
    EXPECT_TRUE(LanResource::LooksLike(c.resource, c.protocol)) << c.resource;
  }
  for (const char* bad : {"TCPIP0::h::hislip::INSTR", "TCPIP0::h::hislip0,0::INSTR", "TCPIP0::h::::INSTR",
                          "TCPIP0::h::70000::SOCKET", "TCPIP0::h::a b::INSTR", "TCPIP0::::INSTR", "TCPIPX::h::INSTR"}) {
    std::string why;
    EXPECT_FALSE(LanResource::Parse(bad, &why)) << bad;
    EXPECT_FALSE(why.empty()) << bad;
  }
}

// Names tell meters of one host apart, and a meter listed by both of its
// protocols shows two names.
TEST(LanResource, DisplayNamesOfLanMeters) {
  const std::string idn = "X,MODEL 6082,S,1";
  EXPECT_EQ(MakeDeviceDisplayName(idn, "TCPIP0::127.0.0.7::inst0::INSTR"), "MODEL 6082-LAN-127.0.0.7");
  EXPECT_EQ(MakeDeviceDisplayName(idn, "TCPIP0::127.0.0.7::INSTR"), "MODEL 6082-LAN-127.0.0.7");
  EXPECT_EQ(MakeDeviceDisplayName(idn, "TCPIP0::127.0.0.7::inst1::INSTR"), "MODEL 6082-LAN-127.0.0.7-inst1");
  EXPECT_EQ(MakeDeviceDisplayName(idn, "TCPIP0::127.0.0.7::hislip0::INSTR"), "MODEL 6082-LAN-127.0.0.7-hislip0");
  EXPECT_EQ(MakeDeviceDisplayName(idn, "TCPIP0::127.0.0.7::hislip0,5000::INSTR"),
            "MODEL 6082-LAN-127.0.0.7-hislip0-5000");
}

}  // namespace
}  // namespace merilog
