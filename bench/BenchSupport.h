#pragma once
#include <QCoreApplication>
#include <QString>
#include <QTimer>
#include <cstdio>
#include <functional>
#include <optional>

#include "core/app/MainWindowModel.h"
#include "core/base/Prompter.h"
#include "core/readingconfig/ReadingSettings.h"
#include "sim/SimBench.h"

namespace merilog::bench {

// Answers every message box the same way, says what it was on standard error
// and counts it: a message means the measured run went wrong.
struct BenchPrompter : Prompter {
  explicit BenchPrompter(Answer a = Answer::Yes) : answer(a) {}
  Answer Message(const QString& text, const QString&, Icon, Buttons) override {
    ++messages;
    last = text;
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return answer;
  }
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }

  Answer answer;
  int messages = 0;
  QString last;
};

// The main window's reading timer, without a window.
struct TimerView : MainWindowObserver {
  QTimer* timer = nullptr;
  void StartReadingTimer(int ms) override { timer->start(ms); }
  void StopReadingTimer() override { timer->stop(); }
  void RedrawChart() override {}
  void StateChanged() override {}
};

// Four simulated dual meters, on DC volts with AC volts as the 2ND function.
inline std::shared_ptr<sim::SimBench> FourDualMeters() {
  auto bench = std::make_shared<sim::SimBench>();
  for (int i = 1; i <= 4; ++i) {
    sim::SimMeterDescription s;
    s.resource = "USB0::0x3A7D::0x6082::SN0" + std::to_string(i) + "::INSTR";
    s.model = "6082";
    s.setup = {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""};
    bench->Add(s);
  }
  return bench;
}

// Multi-device mode over the first four meters found, meter k saving into record k + 1.
inline ReadingSettings FourMetersSaving(const MainWindowModel& model) {
  ReadingSettings s;
  s.mode = kMultiDeviceMode;
  for (int k = 0; k < 4; ++k) {
    s.chosenDevice.push_back({k, model.Devices().Devices()[k].displayName});
    s.saveEnabled[k] = 1;
    s.recordNumber[k] = k + 1;
  }
  s.chosenCount = 4;
  return s;
}

// Runs the model's reading timer for real at 25 ms, `ticks` ticks and one more;
// `before(n)` runs before tick n (from 0).
inline void RunRealTicks(QTimer& timer, MainWindowModel& model, int ticks, const std::function<void(int)>& before) {
  int n = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    before(n);
    model.OnReadingTimer();
    if (++n > ticks) {
      timer.stop();
      QCoreApplication::quit();
    }
  });
  timer.setTimerType(Qt::PreciseTimer);
  timer.start(25);
  QCoreApplication::exec();
}

}  // namespace merilog::bench
