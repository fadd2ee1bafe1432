#include "core/measure/ConfigureFunction.h"

#include <gtest/gtest.h>

using namespace merilog;

TEST(ConfigureFunction, NamesTheCommandForTheSelectedMeterAndRemembersFlagAndCommand) {
  SlotFunctionState state;
  auto r = ConfigureFunction(*FindFunctionButton("4W"), 1, 2, true, state);
  EXPECT_TRUE(r.sent && r.messageKey.empty());
  EXPECT_EQ(r.statusSlot, 1);
  EXPECT_EQ(r.command, "CONF:FRES\n");
  EXPECT_EQ(state.AutoRangeFlag(1), 1);

  // TEMP leaves the range manual: the flag goes back to 0; other slots are untouched.
  ConfigureFunction(*FindFunctionButton("TEMP"), 1, 2, true, state);
  EXPECT_EQ(state.AutoRangeFlag(1), 0);
  EXPECT_EQ(state.LastConfigureCommand(1), "CONF:TEMP\n");
  EXPECT_EQ(state.AutoRangeFlag(0), 0);
  EXPECT_EQ(state.LastConfigureCommand(0), "");
}

TEST(ConfigureFunction, WithoutASelectedDeviceNothingIsSent) {
  SlotFunctionState state;
  // Single-device mode asks the user to select a device first.
  auto r = ConfigureFunction(*FindFunctionButton("DCV"), 10, 2, true, state);
  EXPECT_FALSE(r.sent);
  EXPECT_EQ(r.messageKey, "1003");
  // Multi-device mode goes quietly; a slot past the table is treated as none.
  r = ConfigureFunction(*FindFunctionButton("DCV"), 10, 2, false, state);
  EXPECT_FALSE(r.sent || !r.messageKey.empty());
  r = ConfigureFunction(*FindFunctionButton("DCV"), 2, 2, false, state);
  EXPECT_FALSE(r.sent);
  EXPECT_EQ(state.AutoRangeFlag(10), 0);
}
