#pragma once
#include <QDateTime>
#include <QString>
#include <QTime>
#include <array>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/WorkerThread.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ReopenMeter.h"
#include "core/measure/ChartBuffer.h"
#include "core/measure/FrontPanelState.h"
#include "core/measure/MeterLoss.h"
#include "core/measure/MeterReading.h"
#include "core/measure/ReadingPacer.h"
#include "core/measure/ReadingLimits.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordWriter.h"

namespace merilog {

class Clock;
class DeviceListModel;
class ExchangeSequence;
class Prompter;
class SessionWorker;

// Read time-out of a session outside pipelined reading, and of the current
// meter while AC readings are pipelined.
constexpr int kNormalReadTimeoutMs = 20000;
constexpr int kPipelinedReadTimeoutMs = 1000;

// Which meters a run reads and where each saves.
struct ReadingPlan {
  bool multiDeviceMode = false;
  std::vector<int> positionSlots;  // the meters of positions 0, 1, ... (single-device mode: the current meter)
  int currentSlot = -1;            // the device list's current meter: it gets "*cls" and the pipelined time-out
  std::array<int, kMeterPositions> saveEnabled{};
  std::array<int, kMeterPositions> recordNumber{};
  // Keep reading when a meter drops (chosen by the user; off, the first failed
  // read stops the run as it always has): the meter is lost, the others read on.
  bool keepGoing = false;
  // The run stops by itself this long after it started (0: never) or at this
  // time (invalid: never), whichever comes first.
  qint64 runForMs = 0;
  QDateTime stopAt;
  PositionLimits limits;
};

// What a meter answered when a run started: its function, identification and
// (dual-function model) 2ND function. A failed query ends the examination.
struct MeterExamination {
  std::string function;        // "func?" as answered
  std::string identification;  // "*idn?"
  std::string secondFunction = "NONE";
  bool failed = false;
};
MeterExamination ExamineMeter(Session* session);

// The detector bandwidth answer read as an integer: 3 makes AC readings
// pipelined. "3.0" counts; a non-number, NaN or a number beyond any integer do not.
bool IsSlowBandwidth(const std::string& answer);

// The main and 2ND values of an answer, with atof semantics; the 2ND value is
// kNoSecondValue unless the meter is of the family and answered "a,b".
void ParseReading(const std::string& answer, const std::string& identification, double* main, double* second);

// A reading run: the meters taking part and the functions they reported, the
// record checks and the open records, the chart buffer the ticks fill, and the
// run's phase. The main window and merilog-cli log both drive it.
//
// Nothing here waits for a meter or the disk: the start asks the meters one
// after another through the exchange sequence (with the record checks and
// their questions in between), a tick asks every meter at once on its own
// session thread and applies the answers in meter order when the last has come
// or failed, and the records are written on a thread of their own.
class ReadingRun {
 public:
  enum class Phase {
    Idle,
    Starting,  // the interface is locked while the meters are examined
    Running,
  };
  enum class StartOutcome {
    Running,      // every check passed; the timer may start
    Declined,     // the user would not continue a record: stop at once
    Refused,      // a check failed (its message shown): stop
    MeterFailed,  // a meter did not answer: stop, then "Check Device Connection"
  };
  enum class TickOutcome {
    Done,          // every meter answered
    Redraw,        // ... and the chart is due to be redrawn
    ReadFailed,    // a meter stopped answering: stop, then "Check Device Connection"
    RecordFailed,  // a record refused readings: stop, then RecordFailureText()
    TimeUp,        // the planned stop time has come: stop
  };
  // The texts a tick shows in a position's displays.
  struct PositionTexts {
    std::string mainText, secondText;
  };

  ReadingRun(DeviceListModel& devices, Prompter& prompter, const Clock& clock, ExchangeSequence& sequence);
  ~ReadingRun();
  ReadingRun(const ReadingRun&) = delete;
  ReadingRun& operator=(const ReadingRun&) = delete;

  // Start Reading has passed its first checks: from now on only Stop is usable.
  void Lock();
  // Examines every meter of the plan, checks and prepares the saving meters'
  // records (messages and the continuation question through the prompter),
  // sends "*cls" and, for slow AC readings, the first requests; then `done`.
  void Start(const ReadingPlan& plan, std::function<void(StartOutcome)> done);
  // One timer tick: a reading from every meter, shown, buffered and stored;
  // `done` runs when every meter has answered or failed. False, and counted
  // as a late tick, while the previous tick still waits for an answer.
  bool Tick(std::function<void(TickOutcome)> done);
  // Instead of the owner's timer calling Tick: the meters' own threads keep
  // the time (ReadingPacer) and take a reading every `intervalMs`, `ticks` of
  // them (0: until stopped); each tick is applied here as Tick applies it and
  // then `done` runs. A fast run hands its ticks over in batches, so the owner
  // wakes seldom. False, with nothing started, for a run that keeps going
  // when a meter drops (each meter is asked on its own there) or that has a
  // meter without a session: the owner's timer ticks those.
  bool Pace(int intervalMs, long long ticks, std::function<void(TickOutcome)> done);
  // Ends the run at once: a start or tick still waiting is forgotten, the
  // records are closed (every reading taken is committed or reported), and each
  // meter is cleared and gets "*cls" on its own thread, behind any read still
  // waiting there; the current meter's time-out goes back. Safe when idle.
  void Stop();
  // A record refused readings while the run went on: the owner stops the run.
  std::function<void()> onRecordFailure;
  // The run log: a meter lost or back, a limit crossed or returned to. The
  // position is 0..3; the text says what happened, without the meter's name.
  std::function<void(int position, const QString& text)> onEvent;

  Phase CurrentPhase() const { return phase_; }
  bool Locked() const { return phase_ != Phase::Idle; }
  bool Active() const { return phase_ == Phase::Running; }
  bool MultiDeviceMode() const { return plan_.multiDeviceMode; }
  int ActiveCount() const { return static_cast<int>(meters_.size()); }
  int Slot(int position) const { return meters_[position].slot; }
  const std::string& Function(int position) const { return meters_[position].function; }
  // A dual-function meter reading a 2ND function: its 2ND values are shown and drawn.
  bool HasSecond(int position) const { return meters_[position].hasSecond; }
  bool SecondActive() const;
  bool SlowAcBandwidth() const { return slowAcBandwidth_; }
  int RecordCheckState() const { return recordCheckState_; }
  const QString& ContinuationList() const { return continuationList_; }
  // The texts of the last tick, per position.
  const PositionTexts& Texts(int position) const { return meters_[position].texts; }
  // Ticks that found the previous one still waiting for a meter.
  long long LateTicks() const { return lateTicks_; }
  bool TickPending() const { return tickPending_; }
  // The last record failure, worded for the user (file, why, and how many
  // readings were not saved); empty when none.
  QString RecordFailureText() const;
  // Readings taken but not stored (a record refused them).
  long long UnsavedReadings() const { return unsaved_; }

  bool KeepGoing() const { return plan_.keepGoing; }
  // A meter lost in a run that keeps going: since when, why, and its gaps.
  bool Lost(int position) const { return meters_[position].loss.Lost(); }
  const MeterLoss& Loss(int position) const { return meters_[position].loss; }
  // Whether the position's last reading was outside its limits, and how many were.
  const LimitWatch& LimitState(int position) const { return meters_[position].limit; }
  const ReadingLimits& Limits(int position) const { return plan_.limits[position]; }
  // When the run stops by itself; invalid when it does not.
  const QDateTime& StopTime() const { return stopTime_; }
  // What the run's end says of a position: its gaps (keep-going) and the
  // readings outside its limits (when it has any); empty when neither applies.
  QString EndSummary(int position) const;

  ChartBuffer& Buffer() { return buffer_; }
  const ChartBuffer& Buffer() const { return buffer_; }

 private:
  struct Meter {
    int slot = -1;
    SessionWorker* worker = nullptr;
    std::string identification;
    std::string function;
    QString function1, function2;  // the abbreviations the record was checked with
    bool hasSecond = false;
    bool recordBlocked = false;
    int record = -1;  // in the record writer
    PositionTexts texts;
    LimitWatch limit;
    // Keep-going: a read on its way, when it was asked, and the meter's losses.
    bool reading = false;
    QDateTime askedAt;
    MeterLoss loss;
    bool wrongFunctionTold = false;
  };
  void Examine(int position);
  void Examined(int position, const MeterExamination& e);
  void FinishStart();
  void EndStart(StartOutcome outcome);
  void CheckAndPrepare(Meter& meter, int position, const QString& function1, const QString& function2, bool* declined);
  void Warn(const QString& text);
  // Moves the chart's window on for a new tick.
  void BeginTick();
  // Whether this tick redraws the chart (every TicksPerRedraw ticks); counts afresh when it does.
  bool RedrawDue();
  void ApplyTick();
  void ApplyPaced(std::vector<ReadingPacer::Tick> ticks);
  // One reading's row for the record (when the position saves and it succeeded).
  void AddRow(int position, const MeterReading& r, double main, double second, std::vector<RecordWriter::Row>* rows);
  // Shows and buffers one position's values; notes its limits.
  void Show(int position, const MeterReading& r, double main, double second, bool* grown);
  bool TimeUp() const;
  // Keep-going: a tick that asks only the meters present and free, applying
  // each answer as it comes; a failed read loses the meter, not the run.
  bool TickKeepGoing(std::function<void(TickOutcome)> done);
  void Arrived(int position, MeterReading r, long long tick);
  void EndKeepGoingTick();
  void Lose(int position, std::string cause);
  void LookFor(int position);
  void Found(int position, const Reopened& found);
  void Examined(int position, const MeterExamination& e, const std::string& resource);
  void Event(int position, const QString& text);
  void CloseGaps();
  void CloseRecords();

  DeviceListModel& devices_;
  Prompter& prompter_;
  const Clock& clock_;
  ExchangeSequence& sequence_;
  ChartBuffer buffer_;
  Phase phase_ = Phase::Idle;
  ReadingPlan plan_;
  std::vector<Meter> meters_;
  SessionWorker* current_ = nullptr;
  std::function<void(StartOutcome)> startDone_;
  std::unique_ptr<RecordWriter> writer_;
  int tickCount_ = 0;
  int recordCheckState_ = 0;
  bool slowAcBandwidth_ = false;
  QString continuationList_;
  QString recordError_;  // the first record failure of the run, naming the file
  long long unsaved_ = 0;
  // The tick waiting for its answers.
  bool tickPending_ = false;
  std::vector<MeterReading> readings_;
  int answered_ = 0;
  std::function<void(TickOutcome)> tickDone_;
  std::unique_ptr<CallbackGuard> tickGuard_;
  long long lateTicks_ = 0;
  QDateTime stopTime_;
  qint64 stopMs_ = 0;  // 0: the run stops only when told
  // Keep-going: the tick whose answers are awaited, how many it asked and how
  // many have come; results of a stopped run are dropped.
  long long tickSerial_ = 0;
  int asked_ = 0;
  TickOutcome keepGoingOutcome_ = TickOutcome::Done;
  bool grown_ = false;
  std::unique_ptr<CallbackGuard> runGuard_;
  // A paced run: the pacer and what each of its ticks calls when applied.
  // Kept after Stop until the next run, since Stop may come from a tick it delivers.
  std::unique_ptr<ReadingPacer> pacer_;
  std::function<void(TickOutcome)> pacedDone_;
};

}  // namespace merilog
