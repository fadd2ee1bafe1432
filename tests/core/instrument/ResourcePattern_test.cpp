#include "core/instrument/ResourcePattern.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using merilog::MatchResourcePattern;
using merilog::ResourcePattern;

TEST(ResourcePattern, MatchesWholeNamesWithoutCase) {
  const std::string vendor = "USB[0-9]::0x3A7D::?*INSTR";
  const struct {
    std::string pattern, name;
    bool match;
  } cases[] = {
      {vendor, "usb3::0x3a7d::0x6082::X::instr", true},       // case-insensitive
      {vendor, "USB10::0x3A7D::0x6081::SN01::INSTR", false},  // one digit only
      {vendor, "USB0::0x3A7D::0x6081::SN01::INSTR2", false},  // whole string
      {vendor, "USB0::0x3A7D::INSTR", true},                  // "?*" is "?" repeated zero or more times
      {"GPIB[0-9]?*INSTR", "GPIB0INSTR", true},
      {"GPIB[0-9]?INSTR", "GPIB0INSTR", false},  // a lone "?" needs one character
      {"GPIB[^0]::1+::INSTR", "GPIB2::111::INSTR", true},
      {"GPIB[^0]::1+::INSTR", "GPIB0::1::INSTR", false},
      {"GPIB[^0]::1+::INSTR", "GPIB2::::INSTR", false},  // "+" needs one
      {"(GPIB|USB)?*", "usb0::x", true},
      {"VXI|GPIB?*", "VXI", true},  // "|" splits whole expressions
      {"VXI|GPIB?*", "VXIGPIB0", false},
      {"A\\*B", "A*B", true},
      {"A.B", "AxB", false},  // "." is a plain character
      {"[a-c]x", "Bx", true},
      {"[]a]+", "]a]", true},  // "]" first is a member
      {"[a-]", "-", true},
      {"*", "", true},  // a leading repeat: any characters
      {"(USB|GPIB)+[0-9]", "usbgpib7", true},
      {"(a|)b", "b", true},        // an empty alternative
      {"USB[0-9", "USB0", false},  // malformed
  };
  for (const auto& c : cases) EXPECT_EQ(MatchResourcePattern(c.pattern, c.name), c.match) << c.pattern << " " << c.name;
}

// Hostile patterns and resources: refused with a reason, or matched in one pass
// over the resource without recursion (these crashed or ran for minutes once).
TEST(ResourcePattern, MalformedOrHugeInputIsRefusedOrMatchedInOnePass) {
  for (const std::string& pattern :
       {std::string("USB[0-9"), std::string("(GPIB"), std::string("GPIB)"), std::string("abc\\"), std::string("[z-a]"),
        std::string(20000, '(') + std::string(20000, ')')}) {
    std::string why;
    EXPECT_FALSE(ResourcePattern::Compile(pattern, &why)) << pattern.substr(0, 40);
    EXPECT_FALSE(why.empty()) << pattern.substr(0, 40);
  }

  const std::string nested = std::string(127, '(') + "a" + std::string(127, ')') + "*";
  const std::string backtracker = "?*?*?*?*?*?*?*?*?*?*?*?*X";
  const std::string longest(ResourcePattern::kMaxResourceLength, 'a');
  const struct {
    std::string pattern, resource;
    bool match;
  } cases[] = {
      {nested, "aaaa", true},
      {backtracker, longest, false},
      {backtracker, longest.substr(1) + "x", true},
      {"?*", longest, true},
      {"?*", longest + "a", false},  // longer than any resource
      {"?*", std::string(100000, 'a'), false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(MatchResourcePattern(c.pattern, c.resource), c.match) << c.pattern << " " << c.resource.size();
}
