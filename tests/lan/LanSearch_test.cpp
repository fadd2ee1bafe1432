// The LAN search on loopback only: its portmapper question goes to 127.0.0.1,
// never to a broadcast address of this machine (the namespace tests do that).
#include "core/instrument/LanSearch.h"

#include <gtest/gtest.h>

#include <QFile>
#include <algorithm>

#include "core/app/MainWindowModel.h"
#include "core/base/MessageTable.h"
#include "core/instrument/LanFinds.h"
#include "core/instrument/Vxi11Backend.h"
#include "support/LoopbackMeter.h"
#include "support/MainWindowBench.h"

namespace merilog {
namespace {

using Kind = LanFinds::Kind;

// Several answers from one meter make one resource, of the protocol it is best
// reached by; addresses sort as numbers; what is no IPv4 address or gives no
// port to reach goes.
TEST(LanSearch, FindsMergeByAddressPreferringHislipThenVxi11ThenTheSocket) {
  LanFinds f;
  f.Add("127.0.0.10", Kind::Vxi11);
  f.Add("127.0.0.10", Kind::Lxi, 80);
  f.Add("127.0.0.10", Kind::Hislip, 4880);
  f.Add("127.0.0.10", Kind::Socket, 5025);
  f.Add("127.0.0.9", Kind::Socket, 5025);
  f.Add("127.0.0.9", Kind::Lxi, 80);
  f.Add("127.0.0.11", Kind::Lxi, 80);
  f.Add("127.0.0.12", Kind::Hislip, 4990);
  f.Add("127.0.0.13", Kind::Socket, 0);
  f.Add("::1", Kind::Vxi11);
  f.Add("localhost", Kind::Vxi11);
  EXPECT_EQ(f.Resources(), (std::vector<std::string>{
                               "TCPIP0::127.0.0.9::5025::SOCKET",
                               "TCPIP0::127.0.0.10::hislip0::INSTR",
                               "TCPIP0::127.0.0.11::inst0::INSTR",
                               "TCPIP0::127.0.0.12::hislip0,4990::INSTR",
                           }));
  for (const std::string& type : LanFinds::ServiceTypes()) EXPECT_TRUE(LanFinds::KindOfService(type)) << type;
  EXPECT_FALSE(LanFinds::KindOfService("_http._tcp"));
}

// A simulated VXI-11 meter on loopback, and a search that asks its portmapper.
struct Vxi11OnLoopback {
  Vxi11OnLoopback() {
    search.broadcastTo = {"127.0.0.1"};
    search.portmapperPort = static_cast<std::uint16_t>(lan.portmapperPort);
    search.dnsSd = false;
    search.boundMs = search.broadcastWindowMs = 300;  // loopback answers at once
  }
  test::LoopbackMeter lan{test::LoopbackMeter::Protocol::Vxi11};
  LanSearchOptions search;
};

TEST(LanSearch, APortmapperThatKnowsVxi11IsFoundByItsAnswer) {
  Vxi11OnLoopback meter;
  const LanSearchResult r = SearchLan(meter.search);
  EXPECT_EQ(r.resources, std::vector<std::string>{"TCPIP0::127.0.0.1::inst0::INSTR"});
  EXPECT_EQ(r.dnsSdSkipped, "not asked for");
  // Nobody answers on the core channel's port: nothing is found.
  meter.search.portmapperPort = static_cast<std::uint16_t>(meter.lan.port);
  EXPECT_TRUE(SearchLan(meter.search).resources.empty());
}

// The setting: off at first, kept in [Options] of the language file, and
// turning it on searches at once; a window opened later starts with it.
TEST(LanSearch, TheSettingIsKeptInTheLanguageFileAndTurningItOnSearches) {
  test::TempFolder config;
  const QString ini = config.File("MERILOG.ini");
  ASSERT_TRUE(QFile::copy(QString(MERILOG_SOURCE_DATA_DIR) + "/MERILOG.ini", ini));
  QFile(ini).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
  UseMessageFile(ini);
  struct Back {
    ~Back() { UseMessageFile({}); }
  } back;
  Vxi11OnLoopback meter;
  test::WorkingFolder folder;
  ResourceManager rm;
  rm.AddBackend(std::make_unique<Vxi11Backend>(std::vector<std::string>{}, meter.search.portmapperPort));
  test::ScriptedPrompter prompter;
  FixedClock clock{QDateTime(QDate(2024, 5, 6), QTime(14, 3, 27, 45))};
  const auto open = [&] {
    auto m = std::make_unique<MainWindowModel>(rm, prompter, clock);
    m->SetLanSearchOptions(meter.search);
    m->Initialise();
    EXPECT_TRUE(test::RunUntil([&] { return m->Idle(); }));
    return m;
  };
  auto model = open();
  EXPECT_FALSE(model->CommandChecked(MenuCommand::SearchLan));
  const auto& settingsMenu = model->Texts().menus[0].items;
  const auto item = std::find_if(settingsMenu.begin(), settingsMenu.end(),
                                 [](const auto& i) { return i.command == MenuCommand::SearchLan; });
  ASSERT_NE(item, settingsMenu.end());
  EXPECT_EQ(item->text, "Search the LAN for meters");
  EXPECT_TRUE(item->checkable);
  EXPECT_FALSE(model->Devices().HasMeters());

  model->OnCommand(MenuCommand::SearchLan);
  EXPECT_TRUE(model->CommandChecked(MenuCommand::SearchLan));
  EXPECT_TRUE(test::RunUntil([&] { return model->Idle(); }));
  EXPECT_EQ(model->Devices().Lines(), std::vector<std::string>{"MODEL 6082-LAN-127.0.0.1"});
  EXPECT_EQ(MessageTable(ini).Lookup(u"Options", u"SearchLan", "none"), "1");

  model = open();
  EXPECT_TRUE(model->CommandChecked(MenuCommand::SearchLan));
  EXPECT_EQ(model->Devices().Lines(), std::vector<std::string>{"MODEL 6082-LAN-127.0.0.1"});
  // Turned off, it is kept off; the list stays until the next Refresh.
  model->OnCommand(MenuCommand::SearchLan);
  EXPECT_FALSE(model->CommandChecked(MenuCommand::SearchLan));
  EXPECT_TRUE(model->Idle());
  EXPECT_EQ(MessageTable(ini).Lookup(u"Options", u"SearchLan", "none"), "0");
}

}  // namespace
}  // namespace merilog
