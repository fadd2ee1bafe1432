#include <gtest/gtest.h>

#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ResourceManager.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "support/MainWindowBench.h"
#include "support/TestSupport.h"

using namespace merilog;
using merilog::sim::SimBench;
using merilog::sim::SimMeterDescription;

namespace {

constexpr char kUsb1[] = "USB0::0x3A7D::0x6081::SN01::INSTR";
constexpr char kUsbPsu[] = "USB0::0x3A7D::0x3303::PS01::INSTR";
constexpr char kUsb2[] = "USB0::0x3A7D::0x6082::SN02::INSTR";
constexpr char kGpib[] = "GPIB0::16::INSTR";

SimMeterDescription OnBus(std::string resource, std::string model, std::string identification = {}) {
  SimMeterDescription s;
  s.resource = std::move(resource);
  s.model = std::move(model);
  s.identification = std::move(identification);
  return s;
}

// A bench, a resource manager over it, and a device list.
struct Fixture {
  std::shared_ptr<SimBench> bench = std::make_shared<SimBench>();
  std::shared_ptr<test::WireLog> wire = std::make_shared<test::WireLog>();
  ResourceManager rm;
  std::unique_ptr<DeviceListModel> model;

  explicit Fixture(std::vector<std::string> lan = {}) {
    rm.AddBackend(std::make_unique<test::RecordingBackend>(std::make_unique<sim::SimBackend>(bench), wire));
    model = std::make_unique<DeviceListModel>(rm, std::move(lan));
  }
  // A search, waited for.
  void Discover() {
    bool done = false;
    model->Discover([&] { done = true; });
    EXPECT_TRUE(test::RunUntil([&] { return done; }));
  }
  // A query on the meter's own thread, by raw index.
  std::string Ask(int rawIndex, const char* command) {
    SessionWorker* w = model->Discovery().RawWorker(rawIndex);
    return w ? w->Call<std::string>(
                   [command](Session* s) { return QueryDevice(s, QueryForm::MainWindow, command).text; })
             : std::string();
  }
  void Add(const SimMeterDescription& desc) { ASSERT_NE(bench->Add(desc), nullptr) << desc.resource; }
  // The usual bench: the GPIB meter is put on first so that the bus order, not the bench order, decides.
  void AddUsualMeters() {
    Add(OnBus(kGpib, "6081"));
    Add(OnBus(kUsb1, "6081"));
    Add(OnBus(kUsbPsu, "PSU"));
    Add(OnBus(kUsb2, "6082"));
  }
};

}  // namespace

// The power supply is refused by its identification; the silent meter times out
// in simulation (nothing waits the real 20 s). Neither gets a line.
TEST(DiscoveryBench, UsbMetersFirstThenGpibUnsupportedOrSilentOnesKeepTheirRawIndex) {
  Fixture f;
  f.AddUsualMeters();
  SimMeterDescription silent = OnBus("USB0::0x3A7D::0x6082::SN03::INSTR", "6082");
  silent.faults.silentAfter = 0;
  f.Add(silent);
  f.Discover();

  DeviceListModel& m = *f.model;
  EXPECT_EQ(m.Lines(),
            (std::vector<std::string>{"MODEL 6081-USBTMC-SN01", "MODEL 6082-USBTMC-SN02", "MODEL 6081-GPIB-16"}));
  const auto& discovery = m.Discovery();
  ASSERT_EQ(discovery.RawCount(), 5);
  const auto& devices = m.Devices();
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[1].rawIndex, 2);
  EXPECT_EQ(devices[2].rawIndex, 4);
  const auto& timeouts = f.wire->timeouts;
  for (const auto& d : devices)
    EXPECT_NE(std::find(timeouts.begin(), timeouts.end(), std::make_pair(d.resource, kDiscoveryTimeoutMs)),
              timeouts.end());

  // Slot 1 lies behind the power supply: the command must reach the 6082, not the supply.
  EXPECT_EQ(m.Worker(1), discovery.RawWorker(2));
  f.Ask(2, "CONF:VOLT:AC\n");
  EXPECT_EQ(f.bench->Meter(kUsb2)->Execute("FUNC?"), "\"VOLT:AC\"");
  EXPECT_EQ(f.bench->Meter(kUsb1)->Execute("FUNC?"), "\"VOLT\"");

  // The first meter is current; selecting another makes it current and can show its identification.
  EXPECT_EQ(m.CurrentSlot(), 0);
  EXPECT_TRUE(m.Select(1));
  m.ShowSelectedIdentification();
  EXPECT_EQ(m.CurrentSlot(), 1);
  EXPECT_EQ(m.ToolTip(), f.bench->Meter(kUsb2)->Identification());
  EXPECT_FALSE(m.Select(3));  // no meter on that line
  EXPECT_EQ(m.CurrentSlot(), 1);
}

// A refresh with the same meters gives the same list; after all meters left it
// shows the no-meter line; plugged back in, they are found again.
TEST(DiscoveryBench, RefreshKeepsTheListThenFollowsMetersLeavingAndComingBack) {
  Fixture f;
  f.AddUsualMeters();
  DeviceListModel& m = *f.model;
  f.Discover();
  const auto before = m.Lines();
  m.Select(2);

  f.Discover();
  EXPECT_EQ(m.Lines(), before);
  EXPECT_EQ(m.SelectedLine(), 0);
  EXPECT_EQ(m.CurrentSlot(), 0);
  // New sessions were opened (an address may be reused after the old one was freed); they work.
  EXPECT_EQ(f.Ask(0, "*IDN?\n"), f.bench->Meter(kUsb1)->Identification());

  EXPECT_FALSE(m.ConnectionGuardRefuses(true));
  for (const char* r : {kUsb1, kUsbPsu, kUsb2, kGpib}) f.bench->DropMeter(r);
  EXPECT_FALSE(m.ConnectionGuardRefuses(false));
  EXPECT_TRUE(m.ConnectionGuardRefuses(true));

  f.Discover();
  EXPECT_EQ(m.Lines(), std::vector<std::string>{"No Device Connected"});
  EXPECT_EQ(m.ToolTip(), "No Device Connected");
  EXPECT_EQ(m.NoMeterFlag(), 1);
  EXPECT_FALSE(m.ConnectionGuardRefuses(true));
  // The no-meter line makes nothing current.
  EXPECT_FALSE(m.Select(0));
  EXPECT_EQ(m.CurrentSlot(), kNoDeviceSlot);

  // Plugged back in, the next refresh finds them again.
  for (const char* r : {kUsb1, kUsbPsu, kUsb2, kGpib}) f.bench->ReattachMeter(r);
  f.Discover();
  EXPECT_EQ(m.DeviceCount(), 3);
  EXPECT_EQ(m.NoMeterFlag(), 0);
}

TEST(DiscoveryBench, MoreThanEightMetersAndLanResourcesAreAllKept) {
  const std::string lan = "TCPIP0::127.0.0.7::5025::SOCKET";
  const std::string lan2 = "TCPIP0::127.0.0.7::5026::SOCKET";
  Fixture f({lan, "tcpip0::127.0.0.7::5025::socket", "TCPIP0::127.9.9.9::5025::SOCKET", lan2});
  for (int address = 1; address <= 10; ++address) f.Add(OnBus("GPIB0::" + std::to_string(address) + "::INSTR", "6081"));
  f.Add(OnBus(lan, "6082"));
  f.Add(OnBus(lan2, "6082"));
  f.Discover();

  ASSERT_EQ(f.model->DeviceCount(), 12);
  EXPECT_EQ(f.model->Lines()[9], "MODEL 6081-GPIB-10");
  // Two meters on one host: the one off the usual port shows its port.
  EXPECT_EQ(f.model->Lines()[10], "MODEL 6082-LAN-127.0.0.7");
  EXPECT_EQ(f.model->Lines()[11], "MODEL 6082-LAN-127.0.0.7-5026");
  // The LAN resource named twice is opened once; the one nobody answers gets an empty raw session.
  EXPECT_EQ(f.model->Discovery().RawCount(), 13);
  EXPECT_EQ(f.Ask(11, "*IDN?\n"), "");  // the unreachable one, by its raw index
  f.Ask(9, "CONF:RES\n");
  EXPECT_EQ(f.bench->Meter("GPIB0::10::INSTR")->Execute("FUNC?"), "\"RES\"");

  f.model->Close();
  f.model->Close();
  EXPECT_EQ(f.model->DeviceCount(), 0);
}
