#include <gtest/gtest.h>

#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ResourceManager.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "sim/SimSession.h"

using namespace merilog;
using merilog::sim::SimBench;
using merilog::sim::SimMeterSpec;

namespace {

constexpr char kUsb1[] = "USB0::0x3A7D::0x6081::SN01::INSTR";
constexpr char kUsbPsu[] = "USB0::0x3A7D::0x3303::PS01::INSTR";
constexpr char kUsb2[] = "USB0::0x3A7D::0x6082::SN02::INSTR";
constexpr char kGpib[] = "GPIB0::16::INSTR";

SimMeterSpec OnBus(std::string resource, std::string model, std::string identification = {}) {
  SimMeterSpec s;
  s.resource = std::move(resource);
  s.model = std::move(model);
  s.identification = std::move(identification);
  return s;
}

// A bench, a resource manager over it, and a device list that records what it asked of the rest of the window.
struct Fixture {
  std::shared_ptr<SimBench> bench = std::make_shared<SimBench>();
  ResourceManager rm;
  std::vector<std::string> calls;
  std::unique_ptr<DeviceListModel> model;

  explicit Fixture(std::vector<std::string> lan = {}) {
    rm.AddBackend(std::make_unique<sim::SimBackend>(bench));
    DeviceListHooks hooks;
    hooks.lookupMessage = [](const std::string&, const std::string& text) { return text; };
    hooks.refreshStatus = [this](int slot) { calls.push_back("status " + std::to_string(slot)); };
    hooks.clearStatusTexts = [this] { calls.push_back("clear"); };
    hooks.resetToFirstMeter = [this] { calls.push_back("first"); };
    hooks.resetTraceSelection = [this] { calls.push_back("trace"); };
    hooks.setWaitCursor = [this](bool busy) { calls.push_back(busy ? "wait" : "arrow"); };
    hooks.devicesHandedOver = [this](const DeviceTable& t) { calls.push_back("handed " + std::to_string(t.size())); };
    model = std::make_unique<DeviceListModel>(rm, std::move(lan), std::move(hooks));
  }
  void Add(const SimMeterSpec& desc) { ASSERT_NE(bench->Add(desc), nullptr) << desc.resource; }
  // The usual bench: the GPIB meter is put on first so that the bus order, not the bench order, decides.
  void AddUsualMeters() {
    Add(OnBus(kGpib, "6081"));
    Add(OnBus(kUsb1, "6081"));
    Add(OnBus(kUsbPsu, "PSU"));
    Add(OnBus(kUsb2, "6082"));
  }
  std::string Name(const char* resource) {
    return MakeDeviceDisplayName(bench->Meter(resource)->Identification(), resource);
  }
};

}  // namespace

TEST(DiscoveryBench, UsbMetersFirstThenGpibUnsupportedOnesKeepTheirRawIndex) {
  Fixture f;
  f.AddUsualMeters();
  f.model->InitialiseDevices();

  const auto& s = f.model->State();
  EXPECT_EQ(s.lines,
            (std::vector<std::string>{"MODEL 6081-USBTMC-SN01", "MODEL 6082-USBTMC-SN02", "MODEL 6081-GPIB-16"}));
  auto& discovery = f.model->Discovery();
  ASSERT_EQ(discovery.RawCount(), 4);
  EXPECT_EQ(discovery.RawResources()[1], kUsbPsu);
  const auto& devices = f.model->Devices();
  ASSERT_EQ(devices.size(), 3u);
  EXPECT_EQ(devices[1].rawIndex, 2);
  EXPECT_EQ(devices[2].rawIndex, 3);
  EXPECT_EQ(devices[1].identification, f.bench->Meter(kUsb2)->Identification());
  for (const auto& d : devices) EXPECT_EQ(dynamic_cast<sim::SimSession&>(*d.session).Timeout(), kDiscoveryTimeoutMs);

  // Slot 1 lies behind the power supply: the command must reach the 6082, not the supply.
  f.model->Query().Query(1, "CONF:VOLT:AC\n");
  EXPECT_EQ(f.bench->Meter(kUsb2)->Execute("FUNC?"), "\"VOLT:AC\"");
  EXPECT_EQ(f.bench->Meter(kUsb1)->Execute("FUNC?"), "\"VOLT\"");
  EXPECT_EQ(f.model->Query().Query(2, "*IDN?\n"), f.bench->Meter(kUsb2)->Identification());  // raw index 2

  // Start-up follow-up: first meter current, its short name and identification shown.
  EXPECT_EQ(s.currentSlot, 0);
  EXPECT_EQ(s.meters[0].nameText, "MODEL 6081-USBTMC-SN01");  // the model field starts the line: kept whole
  EXPECT_EQ(s.toolTip, devices[0].identification);
  EXPECT_FALSE(s.capButton.enabled);
  EXPECT_FALSE(s.secondChooser.shown);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"handed 3", "status 0"}));

  f.model->OnDeviceSelected(1);
  EXPECT_EQ(s.currentSlot, 1);
  EXPECT_EQ(s.meters[0].nameText, "MODEL 6082-USBTMC-SN02");
  EXPECT_TRUE(s.capButton.enabled && s.tcouplButton.enabled);
  EXPECT_TRUE(s.secondChooser.shown && s.measurementFunctionLabel.shown && s.secondMarkers.shown);

  // In multi-device mode the name label and tool-tip stay with the single view.
  f.model->SetSingleDeviceMode(false);
  f.model->OnDeviceSelected(0);
  EXPECT_EQ(s.meters[0].nameText, "MODEL 6082-USBTMC-SN02");
  EXPECT_FALSE(s.capButton.enabled);
}

TEST(DiscoveryBench, RejectedIdentificationsAndSilentInstrumentsGetNoLine) {
  Fixture f;
  f.Add(OnBus(kUsb1, "6081", "6081,MERISIM,SN01,1.0"));  // model number at position 0
  SimMeterSpec silent = OnBus(kUsb2, "6082");
  silent.faults.silentAfter = 0;
  f.Add(silent);
  f.Add(OnBus(kGpib, "6082"));

  f.model->InitialiseDevices();  // the silent meter times out in simulation; nothing waits the real 20 s
  EXPECT_EQ(f.model->State().lines, std::vector<std::string>{f.Name(kGpib)});
  EXPECT_EQ(f.model->Devices()[0].rawIndex, 2);
  EXPECT_EQ(f.model->Discovery().RawCount(), 3);
}

// A refresh with the same meters gives the same list; after all meters left it
// shows the no-meter line; plugged back in, they are found again.
TEST(DiscoveryBench, RefreshKeepsTheListThenFollowsMetersLeavingAndComingBack) {
  Fixture f;
  f.AddUsualMeters();
  f.model->InitialiseDevices();
  const auto before = f.model->State().lines;
  f.model->OnDeviceSelected(2);
  f.model->SetSingleDeviceMode(false);
  f.calls.clear();

  f.model->RefreshDevices();
  const auto& s = f.model->State();
  EXPECT_EQ(s.lines, before);
  EXPECT_EQ(s.selectedLine, 0);
  EXPECT_EQ(s.currentSlot, 0);
  EXPECT_TRUE(s.singleDeviceMode);
  EXPECT_EQ(s.meters[0].nameText, "MODEL 6081-USBTMC-SN01");
  EXPECT_EQ(f.calls, (std::vector<std::string>{"wait", "handed 3", "status 0", "first", "status 0", "arrow", "trace"}));
  for (const auto& row : s.meters) EXPECT_EQ(row.valueText, "0");
  EXPECT_FALSE(s.meters[1].valueDisplay.shown || s.meters[0].secondValueDisplay.shown);
  // New sessions were opened (an address may be reused after the old one was freed); they work.
  EXPECT_EQ(f.model->Query().Query(0, "*IDN?\n"), f.bench->Meter(kUsb1)->Identification());

  EXPECT_FALSE(f.model->ConnectionGuardRefuses(true));
  for (const char* r : {kUsb1, kUsbPsu, kUsb2, kGpib}) f.bench->DropMeter(r);
  EXPECT_FALSE(f.model->ConnectionGuardRefuses(false));
  EXPECT_TRUE(f.model->ConnectionGuardRefuses(true));
  f.calls.clear();

  f.model->RefreshDevices();
  EXPECT_EQ(s.lines, std::vector<std::string>{"No Device Connected"});
  EXPECT_EQ(s.toolTip, "No Device Connected");
  EXPECT_FALSE(s.listEnabled);
  EXPECT_EQ(s.noMeterFlag, 1);
  EXPECT_FALSE(s.meters[0].nameLabel.shown || s.meters[0].valueDisplay.shown || s.meters[0].mainMarker.shown);
  EXPECT_FALSE(s.measurementFunctionLabel.shown);
  EXPECT_TRUE(s.secondChooser.shown);
  EXPECT_EQ(f.calls, (std::vector<std::string>{"wait", "handed 0", "clear", "arrow", "trace"}));
  EXPECT_FALSE(f.model->ConnectionGuardRefuses(true));

  // Selecting the no-meter line makes nothing current and asks nothing.
  f.calls.clear();
  f.model->OnDeviceSelected(0);
  EXPECT_EQ(s.currentSlot, kNoDeviceSlot);
  EXPECT_TRUE(f.calls.empty());

  // Plugged back in, the next refresh finds them again.
  for (const char* r : {kUsb1, kUsbPsu, kUsb2, kGpib}) f.bench->ReattachMeter(r);
  f.model->RefreshDevices();
  EXPECT_EQ(f.model->DeviceCount(), 3);
  EXPECT_TRUE(s.listEnabled && s.meters[0].nameLabel.shown);
}

TEST(DiscoveryBench, NoMeterAtStartUp) {
  Fixture f;
  f.Add(OnBus(kUsbPsu, "PSU"));
  f.model->InitialiseDevices();
  const auto& s = f.model->State();
  EXPECT_EQ(s.lines, std::vector<std::string>{"No Device Connected"});
  EXPECT_EQ(s.currentSlot, kNoDeviceSlot);
  EXPECT_FALSE(s.listEnabled || s.meters[0].selectionButton.shown || s.meters[0].indicator.shown);
  EXPECT_EQ(f.model->Discovery().RawCount(), 1);  // the supply still got a session
}

TEST(DiscoveryBench, MoreThanEightMetersAndLanResourcesAreAllKept) {
  const std::string lan = "TCPIP0::10.0.0.7::5025::SOCKET";
  Fixture f({lan, "tcpip0::10.0.0.7::5025::socket", "TCPIP0::10.9.9.9::5025::SOCKET"});
  for (int address = 1; address <= 10; ++address) f.Add(OnBus("GPIB0::" + std::to_string(address) + "::INSTR", "6081"));
  f.Add(OnBus(lan, "6082"));
  f.model->InitialiseDevices();

  ASSERT_EQ(f.model->DeviceCount(), 11);
  EXPECT_EQ(f.model->State().lines[9], "MODEL 6081-GPIB-10");
  EXPECT_EQ(f.model->State().lines[10], "MODEL 6082-LAN-10.0.0.7");
  // The LAN resource named twice is opened once; the one nobody answers gets an empty raw session.
  EXPECT_EQ(f.model->Discovery().RawCount(), 12);
  EXPECT_EQ(f.model->Query().Query(11, "*IDN?\n"), "");  // the unreachable one, by its raw index
  f.model->Query().Query(9, "CONF:RES\n");
  EXPECT_EQ(f.bench->Meter("GPIB0::10::INSTR")->Execute("FUNC?"), "\"RES\"");
  f.model->Query().Query(10, "CONF:CAP\n");
  EXPECT_EQ(f.bench->Meter(lan)->Execute("FUNC?"), "\"CAP\"");

  f.model->CloseDevices();
  f.model->CloseDevices();
  EXPECT_EQ(f.model->DeviceCount(), 0);
}
