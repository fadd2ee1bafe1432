#include "core/instrument/ResourceManager.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/instrument/ScriptSession.h"

namespace merilog {
namespace {

namespace st = status;

// A backend that lists what it is given and records what it is asked to open.
class FakeBackend final : public Backend {
 public:
  FakeBackend(std::string name, std::vector<std::string> list, std::string handlesPrefix = {}, bool active = true)
      : name_(std::move(name)), list_(std::move(list)), prefix_(std::move(handlesPrefix)), active_(active) {}
  std::string Name() const override { return name_; }
  bool IsActive(std::string*) const override { return active_; }
  std::vector<std::string> List() override { return list_; }
  bool Handles(const std::string& r) const override { return !prefix_.empty() && r.rfind(prefix_, 0) == 0; }
  std::unique_ptr<Session> Open(const std::string& r, Status* status) override {
    opened.push_back(r);
    *status = openStatus;
    return IsSuccess(openStatus) ? std::make_unique<test::ScriptSession>(r) : nullptr;
  }
  std::vector<std::string> opened;
  Status openStatus = st::kSuccess;

 private:
  std::string name_;
  std::vector<std::string> list_;
  std::string prefix_;
  bool active_;
};

struct Bench {
  ResourceManager rm;
  FakeBackend* lan;
  FakeBackend* gpib;
  FakeBackend* usb;
  FakeBackend* off;
  Bench() {
    // Registered out of interface order on purpose.
    lan = Add("lan", {"TCPIP0::127.0.0.5::5025::SOCKET", "ASRL1::INSTR"}, "TCPIP");
    gpib = Add("gpib", {"GPIB0::16::INSTR", "GPIB0::5::INSTR"}, "GPIB");
    usb = Add("usb", {"USB0::0x3A7D::0x6082::B::INSTR", "gpib0::16::instr", "USB0::0x3A7D::0x6081::A::INSTR"}, "USB");
    off = Add("off", {"USB0::0x3A7D::0x6081::OFF::INSTR"}, "USB", /*active=*/false);
  }
  FakeBackend* Add(std::string name, std::vector<std::string> list, std::string prefix, bool active = true) {
    auto b = std::make_unique<FakeBackend>(std::move(name), std::move(list), std::move(prefix), active);
    FakeBackend* raw = b.get();
    rm.AddBackend(std::move(b));
    return raw;
  }
};

TEST(ResourceManager, FindOrdersByInterfaceDedupesAndSkipsInactive) {
  Bench b;
  Status status = st::kErrorSystem;
  EXPECT_EQ(b.rm.Find("?*", &status), (std::vector<std::string>{
                                          "USB0::0x3A7D::0x6082::B::INSTR",
                                          "USB0::0x3A7D::0x6081::A::INSTR",
                                          "GPIB0::16::INSTR",  // listed again by "usb" in other case: once
                                          "GPIB0::5::INSTR",
                                          "TCPIP0::127.0.0.5::5025::SOCKET",
                                          "ASRL1::INSTR",
                                      }));
  EXPECT_EQ(status, st::kSuccess);
  EXPECT_EQ(b.rm.Find("USB?*INSTR"),
            (std::vector<std::string>{"USB0::0x3A7D::0x6082::B::INSTR", "USB0::0x3A7D::0x6081::A::INSTR"}));
  EXPECT_TRUE(b.rm.Find("VXI?*", &status).empty());
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  EXPECT_TRUE(b.rm.Find("USB[0-9", &status).empty());
  EXPECT_EQ(status, st::kErrorInvalidExpression);
}

TEST(ResourceManager, OpenGoesToTheFirstActiveBackendThatHandlesTheResource) {
  Bench b;
  Status status = st::kErrorSystem;
  // Claimed by "gpib" only; no listing is asked for.
  EXPECT_TRUE(b.rm.Open("GPIB0::16::INSTR", &status));
  EXPECT_EQ(status, st::kSuccess);
  EXPECT_EQ(b.gpib->opened, std::vector<std::string>{"GPIB0::16::INSTR"});
  // Listed by "lan" but claimed by nobody.
  EXPECT_FALSE(b.rm.Open("ASRL1::INSTR", &status));
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  // The inactive "off" backend is passed over for the active "usb" one.
  EXPECT_TRUE(b.rm.Open("TCPIP0::127.0.0.9::5025::SOCKET", &status));
  EXPECT_EQ(b.lan->opened.back(), "TCPIP0::127.0.0.9::5025::SOCKET");
  EXPECT_TRUE(b.rm.Open("USB0::0x3A7D::0x6081::NEW::INSTR", &status));
  EXPECT_EQ(b.usb->opened.back(), "USB0::0x3A7D::0x6081::NEW::INSTR");
  // Nobody handles it.
  EXPECT_FALSE(b.rm.Open("VXI0::1::INSTR", &status));
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  // A backend's own failure reaches the caller unchanged.
  b.gpib->openStatus = st::kErrorTimeout;
  EXPECT_FALSE(b.rm.Open("GPIB0::5::INSTR", &status));
  EXPECT_EQ(status, st::kErrorTimeout);
}

// The order decides who opens a resource two backends could reach.
TEST(ResourceManager, HardwareBackendsComeInOrder) {
  ResourceManager rm;
  AddHardwareBackends(rm, {});
  std::vector<std::string> names;
  for (const auto& b : rm.Backends()) names.push_back(b->Name());
  EXPECT_EQ(names, (std::vector<std::string>{"USBTMC", "GPIB", "VXI-11", "HiSLIP", "VISA library", "TCP socket"}));
}

}  // namespace
}  // namespace merilog
