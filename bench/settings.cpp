// Figures of the Device Settings dialog's model on in-process simulated meters:
//   settings_open_ms          opening on a dual meter: device selection and the read-backs it runs
//   settings_set_ms           Set on DC voltage with a 2ND function, then its read-back
//   settings_exchanges        commands and questions one such Set sends, read-back included
//   settings_slow_set_ms      the same Set when every answer of the meter takes 5 ms
//   settings_longest_stall_ms the longest the event loop went without a turn meanwhile
//   idle_longest_stall_ms     the same over as long a time with nothing to do: the machine's own delays
// Each time is the median of its rounds.
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <thread>
#include <vector>

#include "core/base/Prompter.h"
#include "core/meterconfig/DeviceSettingsModel.h"
#include "sim/SimMeter.h"
#include "sim/SimSession.h"

namespace {

using namespace merilog;

class SilentPrompter : public Prompter {
 public:
  Answer Message(const QString&, const QString&, Icon, Buttons) override { return Answer::Ok; }
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }
};

// A simulated session whose answers take their time, as a real meter's do.
class SlowSession : public sim::SimSession {
 public:
  SlowSession(std::shared_ptr<sim::SimMeter> m, int answerMs, int* exchanges)
      : SimSession(m, m->Resource()), answerMs_(answerMs), exchanges_(exchanges) {}
  Status Write(std::string_view bytes) override {
    ++*exchanges_;
    return SimSession::Write(bytes);
  }
  ReadResult Read(std::size_t n) override {
    if (answerMs_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(answerMs_));
    return SimSession::Read(n);
  }

 private:
  int answerMs_;
  int* exchanges_;
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

struct Rig {
  std::shared_ptr<sim::SimMeter> meter;
  int exchanges = 0;
  std::unique_ptr<SessionWorker> worker;
  SilentPrompter prompter;
  DeviceSettingsModel model{prompter};

  explicit Rig(int answerMs) {
    sim::SimMeterDescription description;
    description.resource = "USB0::0x3A7D::0x6082::SN1::INSTR";
    description.model = "6082";
    meter = std::make_shared<sim::SimMeter>(description, nullptr);
    worker = std::make_unique<SessionWorker>(std::make_unique<SlowSession>(meter, answerMs, &exchanges));
    DeviceHandOver h;
    HandedDevice d;
    d.worker = worker.get();
    d.resource = description.resource;
    d.identification = meter->Identification();
    h.devices.push_back(d);
    h.deviceCount = 1;
    model.HandOverDevices(h);
  }
  void Wait() {
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  }
  double TimedMs(const std::function<void()>& handler) {
    QElapsedTimer t;
    t.start();
    handler();
    Wait();
    return static_cast<double>(t.nsecsElapsed()) / 1e6;
  }
  void ChooseDcVoltageWithSecondAc() {
    const auto& v = model.View();
    model.OnFunctionSelected(static_cast<int>(v.functions.indexOf("DC Voltage")));
    Wait();
    model.OnSensorSelected(static_cast<int>(v.range.items.indexOf("10 Vdc")));
    model.OnSecondFunctionSelected(static_cast<int>(v.secondFunction.items.indexOf("ACV")));
    Wait();
  }
};

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  constexpr int kRounds = 30;
  std::vector<double> open, set;
  int exchanges = 0;
  for (int i = 0; i < kRounds; ++i) {
    Rig rig(0);
    open.push_back(rig.TimedMs([&] { rig.model.OpenDialog(); }));
    rig.ChooseDcVoltageWithSecondAc();
    const int before = rig.exchanges;
    set.push_back(rig.TimedMs([&] { rig.model.ApplySettings(); }));
    exchanges = rig.exchanges - before;
  }
  std::printf("settings_open_ms: %.3f ms\n", Median(open));
  std::printf("settings_set_ms: %.3f ms\n", Median(set));
  std::printf("settings_exchanges: %d count\n", exchanges);

  // A slow meter: the event loop keeps turning while Set waits for each answer.
  Rig slow(5);
  slow.model.OpenDialog();
  slow.Wait();
  slow.ChooseDcVoltageWithSecondAc();
  QElapsedTimer sinceTurn;
  double longest = 0;
  QTimer ticker;
  ticker.setTimerType(Qt::PreciseTimer);
  QObject::connect(&ticker, &QTimer::timeout, [&] {
    longest = std::max(longest, static_cast<double>(sinceTurn.nsecsElapsed()) / 1e6);
    sinceTurn.restart();
  });
  std::vector<double> slowSet;
  for (int i = 0; i < 5; ++i) {
    // Each Set changes the range, so none is a Set of what the meter already holds (which writes nothing).
    slow.model.OnSensorSelected(static_cast<int>(slow.model.View().range.items.indexOf(i % 2 ? "10 Vdc" : "100 Vdc")));
    slow.Wait();
    ticker.start(1);
    sinceTurn.start();
    slowSet.push_back(slow.TimedMs([&] { slow.model.ApplySettings(); }));
    ticker.stop();
  }
  const double busyLongest = longest;
  longest = 0;
  ticker.start(1);
  sinceTurn.start();
  QElapsedTimer idle;
  idle.start();
  const double idleMs = std::accumulate(slowSet.begin(), slowSet.end(), 0.0);
  while (idle.elapsed() < idleMs) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
  ticker.stop();
  std::printf("settings_slow_set_ms: %.1f ms\n", Median(slowSet));
  std::printf("settings_longest_stall_ms: %.2f ms\n", busyLongest);
  std::printf("idle_longest_stall_ms: %.2f ms\n", longest);
  return 0;
}
