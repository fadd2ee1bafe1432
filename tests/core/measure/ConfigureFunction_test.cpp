#include "core/measure/ConfigureFunction.h"

#include <gtest/gtest.h>

#include "core/instrument/QueryDevice.h"

using namespace merilog;

namespace {

// Records what is written; configuration commands read nothing.
class RecordingSession : public Session {
 public:
  Status Write(std::string_view bytes) override {
    writes.emplace_back(bytes);
    return status::kSuccess;
  }
  ReadResult Read(std::size_t) override {
    ++reads;
    return {status::kErrorTimeout, {}, false};
  }
  Status SetTimeout(int) override { return status::kSuccess; }
  Status Clear() override { return status::kSuccess; }
  Status Close() override { return status::kSuccess; }
  const std::string& Resource() const override { return resource; }

  std::vector<std::string> writes;
  int reads = 0;
  std::string resource = "R";
};

struct Bench {
  RecordingSession unsupported, first, second;
  DeviceQuery query{QueryForm::MainWindow};
  SlotFunctionState state;
  Bench() {
    query.SetSessions({&first, &unsupported, &second});
    query.SetSlotMap({0, 2});  // slot 1 is behind the unsupported instrument
  }
};

}  // namespace

TEST(ConfigureFunction, SendsToTheSelectedMeterAndRemembersFlagAndCommand) {
  Bench b;
  auto r = ConfigureFunction(*FindFunctionButton("4W"), 1, 2, true, b.query, b.state);
  EXPECT_TRUE(r.sent && r.messageKey.empty());
  EXPECT_EQ(r.statusSlot, 1);
  EXPECT_EQ(b.second.writes, std::vector<std::string>{"CONF:FRES\n"});
  EXPECT_TRUE(b.unsupported.writes.empty());
  EXPECT_EQ(b.second.reads, 0);
  EXPECT_EQ(b.state.AutoRangeFlag(1), 1);
  EXPECT_EQ(b.state.LastConfigureCommand(1), "CONF:FRES\n");

  // TEMP leaves the range manual: the flag goes back to 0; other slots are untouched.
  ConfigureFunction(*FindFunctionButton("TEMP"), 1, 2, true, b.query, b.state);
  EXPECT_EQ(b.state.AutoRangeFlag(1), 0);
  EXPECT_EQ(b.state.LastConfigureCommand(1), "CONF:TEMP\n");
  EXPECT_EQ(b.state.AutoRangeFlag(0), 0);
  EXPECT_EQ(b.state.LastConfigureCommand(0), "");
}

TEST(ConfigureFunction, WithoutASelectedDeviceNothingIsSent) {
  Bench b;
  // Single-device mode asks the user to select a device first.
  auto r = ConfigureFunction(*FindFunctionButton("DCV"), 10, 2, true, b.query, b.state);
  EXPECT_FALSE(r.sent);
  EXPECT_EQ(r.messageKey, "1003");
  EXPECT_EQ(r.messageDefault, "Select Device First");
  // Multi-device mode goes quietly; a slot past the table is treated as none.
  r = ConfigureFunction(*FindFunctionButton("DCV"), 10, 2, false, b.query, b.state);
  EXPECT_FALSE(r.sent || !r.messageKey.empty());
  r = ConfigureFunction(*FindFunctionButton("DCV"), 2, 2, false, b.query, b.state);
  EXPECT_FALSE(r.sent);
  EXPECT_TRUE(b.first.writes.empty() && b.second.writes.empty() && b.unsupported.writes.empty());
  EXPECT_EQ(b.state.AutoRangeFlag(10), 0);
}
