#include <gtest/gtest.h>

#include "core/instrument/ResourcePattern.h"

using merilog::MatchResourcePattern;
using merilog::ResourcePattern;

TEST(ResourcePattern, MatchesWholeNamesWithoutCase) {
  const std::string vendor = "USB[0-9]::0x3A7D::?*INSTR";
  const struct {
    std::string pattern, name;
    bool match;
  } cases[] = {
      {vendor, "usb3::0x3a7d::0x6082::X::instr", true},  // case-insensitive
      {vendor, "USB0::0x0957::0x0607::SN01::INSTR", false},
      {vendor, "USB10::0x3A7D::0x6081::SN01::INSTR", false},  // one digit only
      {vendor, "USB0::0x3A7D::0x6081::SN01::INSTR2", false},  // whole string
      {vendor, "XUSB0::0x3A7D::0x6081::SN01::INSTR", false},
      {vendor, "USB0::0x3A7D::INSTR", true},  // "?*" is "?" repeated zero or more times
      {"GPIB[0-9]?*INSTR", "GPIB1::5::0::INSTR", true},
      {"GPIB[0-9]?*INSTR", "GPIB0INSTR", true},
      {"GPIB[0-9]?INSTR", "GPIB0INSTR", false},  // a lone "?" needs one character
      {"GPIB[0-9]?*INSTR", "GPIB0::INTFC", false},
      {"USB[0-9]::?*INSTR", "USB0::0x0957::0x0607::MY1::RAW", false},
      {"GPIB[^0]::1+::INSTR", "GPIB2::111::INSTR", true},
      {"GPIB[^0]::1+::INSTR", "GPIB0::1::INSTR", false},
      {"GPIB[^0]::1+::INSTR", "GPIB2::::INSTR", false},  // "+" needs one
      {"(GPIB|USB)?*", "usb0::x", true},
      {"VXI|GPIB?*", "VXI", true},  // "|" splits whole expressions
      {"VXI|GPIB?*", "VXIGPIB0", false},
      {"A\\*B", "A*B", true},
      {"A\\*B", "AAB", false},
      {"A.B", "AxB", false},  // "." is a plain character
      {"[a-c]x", "Bx", true},
      {"USB[0-9", "USB0", false},  // malformed
  };
  for (const auto& c : cases) EXPECT_EQ(MatchResourcePattern(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
  for (const char* bad : {"USB[0-9", "(GPIB", "GPIB)", "abc\\"}) EXPECT_FALSE(ResourcePattern::Compile(bad)) << bad;
}
