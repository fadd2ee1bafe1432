#pragma once
#include <QString>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/WorkerThread.h"
#include "core/instrument/QueryDevice.h"
#include "core/scan/ScanPlan.h"
#include "core/scan/ScanTimers.h"

namespace merilog {

class Clock;
class Prompter;
class ScanResultsGrid;
class ScanSetup;
class SessionWorker;

// A scan run on the chosen meter: checks the entries, sends the channel
// functions, count, timer and start, polls the progress, fetches the readings
// when they are complete, fills the results grid, and repeats on an interval,
// from a start time and up to a stop time or a number of scans.
//
// Every exchange runs on the meter's session thread and every wait is a timer,
// so the window never waits. The run is a state machine driven by its timers
// and the meter's answers; time comes from the clock, so a test drives an
// overnight schedule in milliseconds.
class ScanRun {
 public:
  enum class Phase {
    Idle,                // the configuration controls are enabled
    WaitingForStart,     // the At Time moment has not come
    Configuring,         // the set-up commands are on their way
    Scanning,            // polling the progress
    WaitingToFetch,      // the readings settle before they are fetched
    Fetching,            // the readings are on their way
    WaitingForInterval,  // a PerScan run waits for its next scan
  };
  // How the last run ended.
  enum class Ending { None, Completed, Stopped, MeterSilent, NoProgress, Exited };

  // No progress for this long (plus twice the timer) ends a run: a card that
  // stopped counting would otherwise be polled for ever.
  static constexpr int kNoProgressLimitMs = 60000;
  static constexpr int kPollPeriodMs = 500;
  static constexpr int kScheduleTickMs = 200;
  static constexpr int kMaxGridRows = 65534;

  ScanRun(ScanSetup& setup, ScanResultsGrid& grid, Prompter& prompter, const Clock& clock, ScanTimers& timers);
  ~ScanRun();
  ScanRun(const ScanRun&) = delete;
  ScanRun& operator=(const ScanRun&) = delete;

  // The meter the next run talks to (not owned).
  void SetMeter(SessionWorker* worker) { worker_ = worker; }

  // The "Start Reading" button.
  void StartScan();
  // The Stop button: a run waiting for its start or its next scan ends now; a
  // scan in progress is fetched and written first, and the run ends after it.
  void StopScan();
  // Stop can end the run early: a PerScan run, or a run waiting for its start
  // time. (A plain or Stop-After-N run is one count the card makes to its end.)
  bool CanStop() const;
  bool Stopping() const { return stopRequested_; }
  // Exit: the timers stop and answers still on their way change nothing.
  void Abort();
  // Scans done 1, results row 1, and the next start waits for the At Time moment.
  void ResetBookkeeping();
  // The PerScan box cleared: its bookkeeping starts again and no interval is waited for.
  void PerScanCleared();

  // Writes the fetched readings (comma-separated, in the order of the active
  // channels, scan after scan) into the grid.
  void FillResults(const std::string& answer);

  Phase CurrentPhase() const { return phase_; }
  bool Active() const { return phase_ != Phase::Idle; }
  // Results are being measured: the export waits for them.
  bool Measuring() const;
  // An exchange with the meter is on its way.
  bool WaitingForMeter() const { return exchanges_ > 0; }
  Ending LastEnding() const { return ending_; }
  const QString& ProgressText() const { return progressText_; }
  // What the run has to say beyond its progress (readings the card did not
  // return, a stop on its way or done); empty when nothing.
  QString StatusText() const;
  // Its part on readings the card did not return; empty when none.
  QString MissingText() const;
  // Scans fetched and written by the present or last run, and the readings
  // the card should have returned for them but did not.
  int ScansKept() const { return scansKept_; }
  qint64 MissingReadings() const { return missingReadings_; }

  int ReadingsPerScanCount() const { return readingsPerScan_; }
  const std::vector<int>& ActiveChannels() const { return activeChannels_; }
  qint64 ExpectedReadings() const { return expectedReadings_; }
  int ScansDone() const { return scansDone_; }
  int ResultsRow() const { return resultsRow_; }

  // Called after every change the dialog shows.
  std::function<void()> onChanged;

 private:
  // The timers' action: the progress poll, the wait for the start time, the
  // wait for the next interval, and the end of the wait before "fetch?".
  void ScanTimer(ScanTimerId timer);
  void Start(bool repeat);
  void SendConfiguration();
  void Poll();
  void OnProgress(const QueryAnswer& answer);
  void Fetch();
  void OnFetched(const QueryAnswer& answer);
  void Finish(Ending ending = Ending::Completed);
  void Fail(Ending ending, const QString& text, const QString& caption);
  void StopTimers();
  void Changed();
  void Ask(const std::string& command, void (ScanRun::*apply)(const QueryAnswer&));
  // Readings the run counts: in a PerScan run one scan's, else all of them.
  qint64 Total() const;
  qint64 NowSeconds() const;
  void WriteHeader();

  ScanSetup& setup_;
  ScanResultsGrid& grid_;
  Prompter& prompter_;
  const Clock& clock_;
  ScanTimers& timers_;
  SessionWorker* worker_ = nullptr;
  std::unique_ptr<CallbackGuard> guard_ = std::make_unique<CallbackGuard>();

  Phase phase_ = Phase::Idle;
  Ending ending_ = Ending::None;
  int exchanges_ = 0;
  bool pollPending_ = false;
  QString progressText_;

  int readingsPerScan_ = 0;
  std::vector<int> activeChannels_;
  qint64 expectedReadings_ = 0;
  qint64 scanStartSeconds_ = 0;
  int intervalSeconds_ = 0;
  int scansDone_ = 1;
  int resultsRow_ = 1;
  bool waitForStartTime_ = true;
  ChannelFunctions lastSentFunctions_{};
  bool rebuildGrid_ = false;
  // The progress last seen and when it last grew.
  int lastDone_ = -1;
  qint64 lastGrowthMs_ = 0;
  bool stopRequested_ = false;
  int scansKept_ = 0;
  qint64 readingsKept_ = 0;
  qint64 missingReadings_ = 0;
};

}  // namespace merilog
