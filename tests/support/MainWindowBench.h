#pragma once
#include <QDir>
#include <algorithm>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "RecordFiles.h"
#include "ScriptedPrompter.h"
#include "SlowBackend.h"
#include "TestSupport.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/instrument/Backend.h"
#include "core/instrument/ResourceManager.h"
#include "core/measure/ChartModel.h"
#include "core/readingconfig/ReadingSettings.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"
#include "sim/SimMeter.h"

namespace merilog::test {

// Everything written to the sessions and every time-out set, per resource.
// Sessions write from their own threads; tests read once the model has settled.
struct WireLog {
  struct Write {
    std::string resource, bytes;
  };
  mutable std::mutex mutex;
  std::vector<Write> writes;
  std::vector<std::pair<std::string, int>> timeouts;
  std::vector<std::string> clears;
  std::map<std::string, int> readsWaiting;  // reads begun and not yet answered

  int Waiting(const std::string& resource) const {
    std::lock_guard lock(mutex);
    const auto it = readsWaiting.find(resource);
    return it == readsWaiting.end() ? 0 : it->second;
  }

  std::vector<std::string> To(const std::string& resource) const {
    std::lock_guard lock(mutex);
    std::vector<std::string> out;
    for (const auto& w : writes)
      if (w.resource == resource) out.push_back(w.bytes);
    return out;
  }
  bool Sent(const std::string& resource, const std::string& bytes) const {
    const auto s = To(resource);
    return std::find(s.begin(), s.end(), bytes) != s.end();
  }
  void Add(std::vector<Write>* to, Write w) {
    std::lock_guard lock(mutex);
    to->push_back(std::move(w));
  }
};

class RecordingSession : public Session {
 public:
  RecordingSession(std::unique_ptr<Session> inner, std::shared_ptr<WireLog> log)
      : inner_(std::move(inner)), logShared_(std::move(log)), log_(*logShared_) {}
  Status Write(std::string_view bytes) override {
    log_.Add(&log_.writes, {Resource(), std::string(bytes)});
    return inner_->Write(bytes);
  }
  ReadResult Read(std::size_t n) override {
    CountWaiting(+1);
    ReadResult r = inner_->Read(n);
    CountWaiting(-1);
    return r;
  }
  Status SetTimeout(int ms) override {
    {
      std::lock_guard lock(log_.mutex);
      log_.timeouts.emplace_back(Resource(), ms);
    }
    return inner_->SetTimeout(ms);
  }
  Status Clear() override {
    {
      std::lock_guard lock(log_.mutex);
      log_.clears.push_back(Resource());
    }
    return inner_->Clear();
  }
  Status Close() override { return inner_->Close(); }
  const std::string& Resource() const override { return inner_->Resource(); }
  std::shared_ptr<AbortSignal> Aborter() override { return inner_->Aborter(); }

 private:
  void CountWaiting(int change) {
    std::lock_guard lock(log_.mutex);
    log_.readsWaiting[Resource()] += change;
  }
  std::unique_ptr<Session> inner_;
  std::shared_ptr<WireLog> logShared_;  // an abandoned session may still write after the test
  WireLog& log_;
};

using RecordingBackend = WrappingBackend<RecordingSession, WireLog>;

// Observer that counts what the model asked of the view.
struct CountingView : MainWindowObserver {
  std::vector<int> timerStarts;
  int timerStops = 0, redraws = 0;
  void StartReadingTimer(int ms) override { timerStarts.push_back(ms); }
  void StopReadingTimer() override { ++timerStops; }
  void RedrawChart() override { ++redraws; }
  void StateChanged() override {}
};

inline constexpr char kUsb81[] = "USB0::0x3A7D::0x6081::SN01::INSTR";
inline constexpr char kUsb82[] = "USB0::0x3A7D::0x6082::SN02::INSTR";

// A main window over simulated meters, a scripted prompter, a fixed clock and
// a working folder with its DB subfolder made current.
struct MainWindowBench {
  std::shared_ptr<WireLog> wireLog = std::make_shared<WireLog>();
  WireLog& wire = *wireLog;
  std::shared_ptr<Latency> latency = std::make_shared<Latency>();
  std::shared_ptr<sim::SimBench> bench = std::make_shared<sim::SimBench>();
  ResourceManager rm;
  ScriptedPrompter prompter;
  FixedClock clock{QDateTime(QDate(2024, 5, 6), QTime(14, 3, 27, 45))};
  WorkingFolder folder;
  std::unique_ptr<MainWindowModel> model;

  MainWindowBench() {
    rm.AddBackend(std::make_unique<RecordingBackend>(
        std::make_unique<SlowBackend>(std::make_unique<sim::SimBackend>(bench), latency), wireLog));
  }
  ~MainWindowBench() { model.reset(); }
  sim::SimMeter* Add(const std::string& resource, const std::string& modelName, std::vector<std::string> setup) {
    sim::SimMeterDescription s;
    s.resource = resource;
    s.model = modelName;
    s.overloadEvery = 0;
    s.setup = std::move(setup);
    return bench->Add(s);
  }
  MainWindowModel& Open() {
    model = std::make_unique<MainWindowModel>(rm, prompter, clock);
    model->Initialise();
    Settle();
    return *model;
  }
  // Waits until the model has nothing left to ask of its meters.
  void Settle() {
    EXPECT_TRUE(RunUntil([this] { return model->Idle(); })) << "the main window never settled";
  }
  QString RecordPath(int n) const { return folder.Path() + "/DB/Record " + QString::number(n) + ".mdb"; }

  // Single-device mode saving into record n.
  void SaveInto(int n) {
    ReadingSettings s;
    s.mode = kSingleDeviceMode;
    s.saveEnabled[0] = 1;
    s.recordNumber[0] = n;
    model->ApplyReadingSettings(s);
    Settle();
  }
  // Multi-device mode over every line, line k saving into records[k].
  void MultiInto(const std::vector<int>& records) {
    ReadingSettings s;
    s.mode = kMultiDeviceMode;
    s.chosenDevice.clear();
    for (size_t k = 0; k < records.size(); ++k) {
      s.chosenDevice.push_back({static_cast<int>(k), model->Devices().Devices()[k].displayName});
      s.saveEnabled[k] = 1;
      s.recordNumber[k] = records[k];
    }
    s.chosenCount = static_cast<int>(records.size());
    model->ApplyReadingSettings(s);
    Settle();
  }
};

}  // namespace merilog::test
