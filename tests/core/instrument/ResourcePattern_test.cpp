#include <gtest/gtest.h>

#include "core/instrument/ResourcePattern.h"

using merilog::MatchResourcePattern;
using merilog::ResourcePattern;

TEST(ResourcePattern, VendorUsbPattern) {
  const std::string p = "USB[0-9]::0x3A7D::?*INSTR";
  EXPECT_TRUE(MatchResourcePattern(p, "USB0::0x3A7D::0x6081::SN01::INSTR"));
  EXPECT_TRUE(MatchResourcePattern(p, "usb3::0x3a7d::0x6082::X::instr"));  // case-insensitive
  EXPECT_FALSE(MatchResourcePattern(p, "USB0::0x0957::0x0607::SN01::INSTR"));
  EXPECT_FALSE(MatchResourcePattern(p, "USB10::0x3A7D::0x6081::SN01::INSTR"));  // one digit only
  EXPECT_FALSE(MatchResourcePattern(p, "USB0::0x3A7D::0x6081::SN01::INSTR2"));  // whole string
  EXPECT_TRUE(MatchResourcePattern(p, "USB0::0x3A7D::INSTR"));  // "?*" is "?" repeated zero or more times
  EXPECT_FALSE(MatchResourcePattern(p, "XUSB0::0x3A7D::0x6081::SN01::INSTR"));
}

TEST(ResourcePattern, GpibAndAnyUsbPatterns) {
  EXPECT_TRUE(MatchResourcePattern("GPIB[0-9]?*INSTR", "GPIB0::16::INSTR"));
  EXPECT_TRUE(MatchResourcePattern("GPIB[0-9]?*INSTR", "GPIB1::5::0::INSTR"));
  EXPECT_TRUE(MatchResourcePattern("GPIB[0-9]?*INSTR", "GPIB0INSTR"));
  EXPECT_FALSE(MatchResourcePattern("GPIB[0-9]?INSTR", "GPIB0INSTR"));  // a lone "?" needs one character
  EXPECT_FALSE(MatchResourcePattern("GPIB[0-9]?*INSTR", "GPIB0::INTFC"));
  EXPECT_TRUE(MatchResourcePattern("USB[0-9]::?*INSTR", "USB0::0x0957::0x0607::MY1::INSTR"));
  EXPECT_FALSE(MatchResourcePattern("USB[0-9]::?*INSTR", "USB0::0x0957::0x0607::MY1::RAW"));
  EXPECT_FALSE(MatchResourcePattern("USB[0-9]::?*INSTR", "TCPIP0::host::5025::SOCKET"));
}

TEST(ResourcePattern, ClassesRepeatsAlternativesAndEscapes) {
  EXPECT_TRUE(MatchResourcePattern("GPIB[^0]::1+::INSTR", "GPIB2::111::INSTR"));
  EXPECT_FALSE(MatchResourcePattern("GPIB[^0]::1+::INSTR", "GPIB0::1::INSTR"));
  EXPECT_FALSE(MatchResourcePattern("GPIB[^0]::1+::INSTR", "GPIB2::::INSTR"));  // "+" needs one
  EXPECT_TRUE(MatchResourcePattern("(GPIB|USB)?*", "usb0::x"));
  EXPECT_TRUE(MatchResourcePattern("VXI|GPIB?*", "VXI"));  // "|" splits whole expressions
  EXPECT_FALSE(MatchResourcePattern("VXI|GPIB?*", "VXIGPIB0"));
  EXPECT_TRUE(MatchResourcePattern("A\\*B", "A*B"));
  EXPECT_FALSE(MatchResourcePattern("A\\*B", "AAB"));
  EXPECT_TRUE(MatchResourcePattern("?*", "TCPIP0::10.0.0.1::5025::SOCKET"));
  EXPECT_TRUE(MatchResourcePattern("A.B", "A.B"));  // "." is a plain character
  EXPECT_FALSE(MatchResourcePattern("A.B", "AxB"));
  EXPECT_TRUE(MatchResourcePattern("[a-c]x", "Bx"));
}

TEST(ResourcePattern, MalformedExpressionsAreRejected) {
  EXPECT_FALSE(ResourcePattern::Compile("USB[0-9").has_value());
  EXPECT_FALSE(ResourcePattern::Compile("(GPIB").has_value());
  EXPECT_FALSE(ResourcePattern::Compile("GPIB)").has_value());
  EXPECT_FALSE(ResourcePattern::Compile("abc\\").has_value());
  EXPECT_FALSE(MatchResourcePattern("USB[0-9", "USB0"));
}
