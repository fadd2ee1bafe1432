#pragma once
#include <QDateTime>
#include <QStringList>
#include <memory>
#include <string>
#include <vector>

#include "core/base/DocumentOpener.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanModel.h"
#include "support/MainWindowBench.h"
#include "support/VirtualScanTimers.h"

namespace merilog::test {

inline constexpr char kScanner[] = "USB0::0x3A7E::0x7700::SN04::INSTR";

// Stands in for the desktop: remembers what it was asked to open.
struct RecordingOpener : DocumentOpener {
  bool Open(const QString& path) override {
    opened << path;
    return answer;
  }
  bool answer = true;
  QStringList opened;
};

// A scan dialog over simulated meters that share one fixed clock with its
// timers: a scan's progress, waits and schedule all run on that clock.
struct ScanBench {
  std::shared_ptr<FixedClock> clock = std::make_shared<FixedClock>(QDateTime(QDate(2024, 5, 6), QTime(14, 3, 27)));
  std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>(clock);
  std::shared_ptr<WireLog> wireLog = std::make_shared<WireLog>();
  WireLog& wire = *wireLog;
  ResourceManager rm;
  ScriptedPrompter prompter;
  VirtualScanTimers timers{*clock};
  RecordingOpener opener;
  std::vector<std::string> lanResources;
  std::unique_ptr<ScanModel> model;

  ScanBench() {
    EnsureEventLoop();
    rm.AddBackend(std::make_unique<RecordingBackend>(std::make_unique<sim::SimBackend>(bench), wireLog));
  }
  ~ScanBench() { model.reset(); }

  sim::SimMeter* Add(const std::string& resource, const std::string& modelName, int channels = -1,
                     std::vector<std::string> setup = {}, int overloadEvery = 0) {
    return bench->Add({.resource = resource,
                       .model = modelName,
                       .channels = channels,
                       .overloadEvery = overloadEvery,
                       .setup = std::move(setup)});
  }
  // The dialog opened and its search and card read finished.
  ScanModel& Open() {
    if (!model) model = std::make_unique<ScanModel>(rm, lanResources, prompter, *clock, timers, opener);
    model->OpenScanDialog();
    Settle();
    return *model;
  }
  void Settle() {
    EXPECT_TRUE(RunUntil([&] { return !model->WaitingForMeter(); }));
  }

  // Every channel None, then the given ones (1-based) set.
  void Channels(const std::vector<std::pair<int, int>>& functions) {
    for (int c = 0; c < model->Setup().ChannelCount(); ++c) {
      model->ScanChannelChosen(c);
      model->ScanFunctionChosen(kScanNone);
    }
    for (auto [channel, function] : functions) {
      model->ScanChannelChosen(channel - 1);
      model->ScanFunctionChosen(function);
    }
  }

  // Runs the schedule until the run is over (see RunSchedule).
  bool RunScan(qint64 limitMs = 48LL * 3600 * 1000) {
    return RunSchedule(
        timers, *clock, [&] { return model->Run().Active(); }, [&] { return model->WaitingForMeter(); }, limitMs);
  }
  std::vector<std::string> Sent(const std::string& resource = kScanner) { return wire.To(resource); }
  // The lines sent from the first one that starts with `from`.
  std::vector<std::string> SentFrom(const std::string& from, const std::string& resource = kScanner) {
    const auto all = Sent(resource);
    auto it = std::find_if(all.begin(), all.end(), [&](const std::string& s) { return s.rfind(from, 0) == 0; });
    return {it, all.end()};
  }
  QStringList GridRow(int row) const {
    QStringList cells;
    for (int c = 0; c < model->Grid().Columns(); ++c) cells << model->Grid().Cell(row, c);
    return cells;
  }
};

}  // namespace merilog::test
