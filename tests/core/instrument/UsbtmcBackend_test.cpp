#include "core/instrument/UsbtmcBackend.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <fstream>

#include "support/TestSupport.h"

namespace merilog {
namespace {

namespace st = status;

// A fake /sys/class/usbmisc and /dev laid out like the kernel's: usbmisc/usbtmcN/device
// links to the USB interface, whose parent holds the device descriptors.
class FakeUsbTree {
 public:
  FakeUsbTree() {
    QDir(tmp_.Path()).mkpath("sys/class/usbmisc");
    QDir(tmp_.Path()).mkpath("dev");
  }
  std::string SysRoot() const { return tmp_.PathStd() + "/sys/class/usbmisc"; }
  std::string DevRoot() const { return tmp_.PathStd() + "/dev"; }

  // An instrument at node usbtmc<n>; an empty serial leaves the file out. The
  // device node is a FIFO, so writes come back as reads.
  void Add(int n, const char* vid, const char* pid, const char* serial, bool withDevNode = true) {
    const std::string usbDev = tmp_.PathStd() + "/sys/devices/usb1/1-" + std::to_string(n);
    QDir().mkpath(QString::fromStdString(usbDev + "/1-" + std::to_string(n) + ":1.0"));
    Write(usbDev + "/idVendor", vid);
    Write(usbDev + "/idProduct", pid);
    if (*serial) Write(usbDev + "/serial", serial);
    const std::string node = SysRoot() + "/usbtmc" + std::to_string(n);
    QDir().mkpath(QString::fromStdString(node));
    EXPECT_EQ(::symlink((usbDev + "/1-" + std::to_string(n) + ":1.0").c_str(), (node + "/device").c_str()), 0);
    if (withDevNode) {
      EXPECT_EQ(::mkfifo((DevRoot() + "/usbtmc" + std::to_string(n)).c_str(), 0600), 0);
    }
  }

 private:
  static void Write(const std::string& path, const std::string& text) { std::ofstream(path) << text << "\n"; }
  test::TempFolder tmp_;
};

TEST(UsbtmcBackend, NamesInstrumentsFromSysfsInNodeOrder) {
  FakeUsbTree tree;
  tree.Add(10, "3a7d", "6082", "SN10");
  tree.Add(2, "3a7d", "6081", "sn-02");
  tree.Add(0, "0957", "0607", "");           // no serial: named by its node
  tree.Add(3, "3a7d", "6081", "has space");  // unusable serial
  UsbtmcBackend backend(tree.SysRoot(), tree.DevRoot());
  std::string why = "untouched";
  EXPECT_TRUE(backend.IsActive(&why));
  EXPECT_EQ(why, "untouched");
  EXPECT_EQ(backend.List(), (std::vector<std::string>{
                                "USB0::0x0957::0x0607::usbtmc0::INSTR",
                                "USB0::0x3A7D::0x6081::sn-02::INSTR",
                                "USB0::0x3A7D::0x6081::usbtmc3::INSTR",
                                "USB0::0x3A7D::0x6082::SN10::INSTR",
                            }));
  const auto nodes = backend.Scan();
  ASSERT_EQ(nodes.size(), 4u);
  EXPECT_EQ(nodes[1].devPath, tree.DevRoot() + "/usbtmc2");
}

// No nodes, a missing device node, an unreadable one: inactive, saying why.
TEST(UsbtmcBackend, InactiveWithReason) {
  FakeUsbTree tree;
  std::string why;
  EXPECT_FALSE(UsbtmcBackend(tree.SysRoot(), tree.DevRoot()).IsActive(&why));
  EXPECT_NE(why.find("no USBTMC devices"), std::string::npos) << why;

  tree.Add(0, "3a7d", "6081", "SN01", /*withDevNode=*/false);
  UsbtmcBackend backend(tree.SysRoot(), tree.DevRoot());
  EXPECT_FALSE(backend.IsActive(&why));
  EXPECT_NE(why.find(tree.DevRoot() + "/usbtmc0"), std::string::npos) << why;
  EXPECT_TRUE(backend.List().empty());

  if (::geteuid() == 0) return;  // root may open any file
  tree.Add(1, "3a7d", "6081", "SN02");
  ASSERT_EQ(::chmod((tree.DevRoot() + "/usbtmc1").c_str(), 0), 0);
  EXPECT_FALSE(UsbtmcBackend(tree.SysRoot(), tree.DevRoot()).IsActive(&why));
  EXPECT_NE(why.find("permission"), std::string::npos) << why;
}

TEST(UsbtmcBackend, OpensByResourceInAnySpelling) {
  FakeUsbTree tree;
  tree.Add(0, "3a7d", "6081", "SN01");
  tree.Add(1, "3a7d", "6082", "");
  UsbtmcBackend backend(tree.SysRoot(), tree.DevRoot());
  for (const char* r :
       {"USB0::0x3A7D::0x6081::SN01::INSTR", "usb0::0x3a7d::0x6081::sn01::instr", "USB1::14973::24705::SN01::INSTR",
        "USB0::0x3A7D::0x6081::SN01::0::INSTR", "USB0::0x3A7D::0x6082::usbtmc1::INSTR"}) {
    Status status = st::kErrorSystem;
    auto s = backend.Open(r, &status);
    EXPECT_EQ(status, st::kSuccess) << r;
    ASSERT_TRUE(s) << r;
    EXPECT_EQ(s->Resource(), r);
  }
  Status status = st::kSuccess;
  EXPECT_FALSE(backend.Open("USB0::0x3A7D::0x6081::OTHER::INSTR", &status));
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  for (const char* bad :
       {"USB0::3A7D::0x6081::SN01::INSTR", "USB0::0x3A7D::SN01::INSTR", "USBx::0x3A7D::0x6081::SN01::INSTR",
        "USB0::0x13A7D::0x6081::SN01::INSTR", "USB0::0x3A7D::0x6081::::INSTR"}) {
    EXPECT_FALSE(backend.Open(bad, &status)) << bad;
    EXPECT_EQ(status, st::kErrorInvalidResourceName) << bad;
  }
  EXPECT_TRUE(backend.Handles("usb0::0x1::0x2::x::instr"));
  EXPECT_FALSE(backend.Handles("USB0::0x1::0x2::x::RAW"));
  EXPECT_FALSE(backend.Handles("GPIB0::16::INSTR"));
}

// The FIFO stands in for a driver without the end-of-message attribute: a read
// shorter than asked for is the end of the answer, a full one is not.
TEST(UsbtmcBackend, ReadStopsAtCountAndKeepsTheRest) {
  FakeUsbTree tree;
  tree.Add(0, "3a7d", "6081", "SN01");
  UsbtmcBackend backend(tree.SysRoot(), tree.DevRoot());
  auto s = backend.Open("USB0::0x3A7D::0x6081::SN01::INSTR", nullptr);
  ASSERT_TRUE(s);
  ASSERT_EQ(s->Write("+1.25E+00\n"), st::kSuccess);
  const ReadResult first = s->Read(4);
  EXPECT_EQ(first.status, st::kSuccessMaxCount);
  EXPECT_FALSE(first.end);
  EXPECT_EQ(first.bytes, "+1.2");
  const ReadResult rest = s->Read(1024);
  EXPECT_EQ(rest.status, st::kSuccess);
  EXPECT_TRUE(rest.end);
  EXPECT_EQ(rest.bytes, "5E+00\n");

  // Driver calls on a non-device fail without crashing.
  EXPECT_FALSE(IsSuccess(s->SetTimeout(20000)));
  EXPECT_FALSE(IsSuccess(s->Clear()));
  EXPECT_EQ(s->Close(), st::kSuccess);
  EXPECT_EQ(s->Read(10).status, st::kErrorInvalidObject);
}

}  // namespace
}  // namespace merilog
