// Stop and closing the window never wait for a LAN meter that stops
// answering: the main window's model over our VXI-11 and HiSLIP clients and
// servers on loopback, with the transcript on as `--transcript` puts it. The
// meter takes "read?" and never answers it, and the session's time-out is ten
// minutes, so only the abort channel can end such a read while the test runs.
#include <gtest/gtest.h>

#include <QFile>

#include "core/app/MainWindowModel.h"
#include "core/instrument/HislipBackend.h"
#include "core/instrument/TranscriptBackend.h"
#include "core/instrument/Vxi11Backend.h"
#include "support/LoopbackMeter.h"
#include "support/MainWindowBench.h"

namespace merilog {
namespace {

using test::RunUntil;

enum class Protocol { Vxi11, Hislip };

class LanStop : public ::testing::TestWithParam<Protocol> {
 protected:
  void SetUp() override {
    const bool vxi11 = GetParam() == Protocol::Vxi11;
    sim::SimMeterDescription desc;
    desc.model = "6081";
    desc.overloadEvery = 0;
    lan = std::make_unique<test::LoopbackMeter>(
        vxi11 ? test::LoopbackMeter::Protocol::Vxi11 : test::LoopbackMeter::Protocol::Hislip, desc,
        [](sim::SimMeter& meter) {
          // Taken, never answered: the reading, and the bandwidth an AC start asks.
          meter.CommandFaults().Answer("READ", "");
          meter.CommandFaults().Answer("[SENSe:]DETector:BANDwidth", "");
        });
    resource = lan->resource;
    std::shared_ptr<Backend> backend;
    if (vxi11)
      backend = std::make_shared<Vxi11Backend>(std::vector<std::string>{resource},
                                               static_cast<std::uint16_t>(lan->portmapperPort));
    else
      backend = std::make_shared<HislipBackend>(std::vector<std::string>{resource});
    std::string error;
    log = TranscriptLog::Open(folder.Path().toStdString() + "/transcript.txt", &error);
    ASSERT_TRUE(log) << error;
    rm.AddBackend(std::make_unique<test::RecordingBackend>(WithTranscript(backend, log), wireLog));
  }
  void TearDown() override { model.reset(); }

  MainWindowModel& Open() {
    model = std::make_unique<MainWindowModel>(rm, prompter, clock, std::vector<std::string>{resource});
    model->Initialise();
    Settle();
    return *model;
  }
  void Settle() {
    ASSERT_TRUE(RunUntil([this] { return model->Idle(); })) << "the main window never settled";
  }
  // A tick whose read now waits for the meter.
  void TickIntoASilence() {
    model->OnReadingTimer();
    ASSERT_TRUE(RunUntil([this] { return wire.Waiting(resource) == 1; }));
  }
  bool Closed() const {
    QFile f(QString::fromStdString(log->Path()));
    return f.open(QIODevice::ReadOnly) && f.readAll().contains(QByteArray::fromStdString(resource + " close"));
  }

  test::WorkingFolder folder;
  std::unique_ptr<test::LoopbackMeter> lan;
  std::string resource;
  std::shared_ptr<TranscriptLog> log;
  std::shared_ptr<test::WireLog> wireLog = std::make_shared<test::WireLog>();
  test::WireLog& wire = *wireLog;
  ResourceManager rm;
  test::ScriptedPrompter prompter;
  FixedClock clock{QDateTime(QDate(2024, 5, 6), QTime(14, 3, 27, 45))};
  std::unique_ptr<MainWindowModel> model;
};

TEST_P(LanStop, StopAndClosingTheWindowFreeTheMeterAtOnce) {
  auto& m = Open();
  ASSERT_EQ(m.Devices().DeviceCount(), 1);
  m.Devices().Worker(0)->Post([](Session* s) { s->SetTimeout(600000); });
  m.StartReading();
  Settle();
  ASSERT_TRUE(m.ReadingActive());
  TickIntoASilence();
  m.StopReading();
  EXPECT_FALSE(m.ReadingActive());
  // The read ended on the meter's thread, and the clearing went out behind it.
  Settle();
  EXPECT_EQ(wire.Waiting(resource), 0);
  EXPECT_TRUE(wire.Sent(resource, "*cls"));
  EXPECT_TRUE(prompter.shown.empty());

  // The link goes on: the next run starts with the meter's answers.
  m.StartReading();
  Settle();
  ASSERT_TRUE(m.ReadingActive());

  // Closed with a read waiting: the session is closed on its own thread.
  TickIntoASilence();
  EXPECT_FALSE(Closed());
  model.reset();
  EXPECT_TRUE(RunUntil([this] { return Closed(); }));
  EXPECT_EQ(wire.Waiting(resource), 0);
}

TEST_P(LanStop, StopWhileTheStartWaitsFreesTheMeterAtOnce) {
  auto& m = Open();
  m.Devices().Worker(0)->Post([](Session* s) {
    s->SetTimeout(600000);
    s->Write("CONF:VOLT:AC\n");
  });
  m.StartReading();
  ASSERT_TRUE(RunUntil([this] { return wire.Sent(resource, "det:band?\n") && wire.Waiting(resource) == 1; }));
  m.StopReading();
  Settle();
  EXPECT_FALSE(m.ReadingActive());
  EXPECT_TRUE(wire.Sent(resource, "*cls"));
}

INSTANTIATE_TEST_SUITE_P(Protocols, LanStop, ::testing::Values(Protocol::Vxi11, Protocol::Hislip),
                         [](const auto& info) { return info.param == Protocol::Vxi11 ? "Vxi11" : "Hislip"; });

}  // namespace
}  // namespace merilog
