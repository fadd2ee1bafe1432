#include "core/scan/ScanRun.h"

#include <QStringList>
#include <algorithm>
#include <limits>

#include "core/base/Clock.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/instrument/SessionWorker.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/NumericText.h"
#include "core/scan/ScanFieldRules.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanProcedures.h"
#include "core/scan/ScanResultsGrid.h"
#include "core/scan/ScanSetup.h"

namespace merilog {

namespace {

constexpr char kProgressQuery[] = "Rout:scan:state?\n";
constexpr char kFetchQuery[] = "fetch?\n";
// What a cell shows for a reading the card counted but did not return.
constexpr char kMissingText[] = "MISSING";

bool IsOverload(std::string value) {
  if (!value.empty() && value.back() == '\n') value.pop_back();
  return value == "+9.90000000E+37" || value == "+9.9E37";
}

}  // namespace

ScanRun::ScanRun(ScanSetup& setup, ScanResultsGrid& grid, Prompter& prompter, const Clock& clock, ScanTimers& timers)
    : setup_(setup), grid_(grid), prompter_(prompter), clock_(clock), timers_(timers) {
  timers_.SetHandler([this](ScanTimerId timer) { ScanTimer(timer); });
}

ScanRun::~ScanRun() {
  StopTimers();
  timers_.SetHandler({});
}

bool ScanRun::Measuring() const {
  return phase_ == Phase::Configuring || phase_ == Phase::Scanning || phase_ == Phase::WaitingToFetch ||
         phase_ == Phase::Fetching;
}

void ScanRun::Changed() {
  if (onChanged) onChanged();
}

void ScanRun::StopTimers() {
  for (int i = 0; i < kScanTimerCount; ++i) timers_.Stop(static_cast<ScanTimerId>(i));
}

qint64 ScanRun::NowSeconds() const {
  return clock_.NowMs() / 1000;
}

qint64 ScanRun::Total() const {
  if (setup_.PerScanChecked()) return readingsPerScan_;
  if (setup_.StopAfterNChecked()) return static_cast<qint64>(setup_.NScans()) * readingsPerScan_;
  return setup_.ScanCount();
}

bool ScanRun::CanStop() const {
  return Active() && !stopRequested_ && (phase_ == Phase::WaitingForStart || setup_.PerScanChecked());
}

void ScanRun::StopScan() {
  if (!CanStop()) return;
  if (phase_ == Phase::WaitingForStart || phase_ == Phase::WaitingForInterval) return Finish(Ending::Stopped);
  stopRequested_ = true;  // the scan in progress ends the run once its readings are written
  Changed();
}

QString ScanRun::MissingText() const {
  if (missingReadings_ == 0) return {};
  return QStringLiteral("The card returned %1 of %2 readings; the cells without one read %3.")
      .arg(readingsKept_ - missingReadings_)
      .arg(readingsKept_)
      .arg(QLatin1String(kMissingText));
}

QString ScanRun::StatusText() const {
  QStringList parts;
  if (missingReadings_ > 0) parts << MissingText();
  if (stopRequested_)
    parts << QStringLiteral("Stopping after the scan in progress.");
  else if (!Active() && ending_ == Ending::Stopped)
    parts << (scansKept_ == 1 ? QStringLiteral("Stopped: 1 scan kept.")
                              : QStringLiteral("Stopped: %1 scans kept.").arg(scansKept_));
  return parts.join(' ');
}

void ScanRun::ResetBookkeeping() {
  scansDone_ = 1;
  resultsRow_ = 1;
  waitForStartTime_ = true;
}

void ScanRun::PerScanCleared() {
  ResetBookkeeping();
  timers_.Stop(ScanTimerId::Interval);
}

void ScanRun::Abort() {
  const bool wasActive = Active();
  StopTimers();
  guard_ = std::make_unique<CallbackGuard>();  // answers on their way are dropped
  exchanges_ = 0;
  pollPending_ = false;
  stopRequested_ = false;
  phase_ = Phase::Idle;
  if (wasActive) ending_ = Ending::Exited;
}

void ScanRun::Finish(Ending ending) {
  StopTimers();
  phase_ = Phase::Idle;
  ending_ = ending;
  stopRequested_ = false;
  waitForStartTime_ = true;
  scansDone_ = 1;
  Changed();
}

void ScanRun::Fail(Ending ending, const QString& text, const QString& caption) {
  // The run is over before the message shows: timers firing behind it find it idle.
  Abort();
  ending_ = ending;
  waitForStartTime_ = true;
  scansDone_ = 1;
  Changed();
  prompter_.Message(text, caption, Prompter::Icon::Stop, Prompter::Buttons::Ok);
}

void ScanRun::StartScan() {
  if (phase_ == Phase::Idle) Start(false);
}

void ScanRun::Start(bool repeat) {
  // A refused repeat of a PerScan run ends the run; a refused first start
  // leaves everything as it was.
  auto refuse = [&] {
    if (repeat) Finish();
  };
  auto error = [&](const QString& text) {
    prompter_.Message(text, QStringLiteral("Error"), Prompter::Icon::Stop, Prompter::Buttons::Ok);
    refuse();
  };
  if (setup_.StopTimeChecked() && setup_.SecondsUntil(ScanPicker::StopTime) < 0) {
    timers_.Stop(ScanTimerId::Interval);
    return Finish();
  }
  if (!setup_.TimerTextValid()) return error(TimerErrorText());
  if (!setup_.NTextValid()) return error(NErrorText());
  // A value out of range is refused before anything is sent, also when the
  // start waits for its moment (the exchange has said which).
  if (!setup_.ReadFields()) return refuse();
  if (grid_.Rows() > kMaxGridRows) return refuse();
  if (setup_.ShownCurrentLacksShunt()) return error(ShuntZeroText());

  setup_.DemoteUnshuntedCurrents();
  readingsPerScan_ = ReadingsPerScan(setup_.Functions(), setup_.ChannelCount());
  // Without a channel to measure the card would never count a reading.
  if (readingsPerScan_ == 0) return error(QStringLiteral("No channel has a function to measure. Please choose one."));

  if (!repeat) {
    stopRequested_ = false;
    scansKept_ = 0;
    readingsKept_ = missingReadings_ = 0;
  }
  scanStartSeconds_ = NowSeconds();
  if (setup_.PerScanChecked()) intervalSeconds_ = setup_.IntervalSeconds();
  if (setup_.AtTimeChecked() && waitForStartTime_) {
    phase_ = Phase::WaitingForStart;
    timers_.StartRepeating(ScanTimerId::StartTime, kScheduleTickMs);
    Changed();
    return;
  }
  SendConfiguration();
}

void ScanRun::SendConfiguration() {
  const ChannelSetup channels = ScanChannelSetup(setup_.Functions(), setup_.ChannelCount());
  activeChannels_ = channels.activeChannels;
  expectedReadings_ = Total();
  progressText_ = QStringLiteral("0/%1").arg(expectedReadings_);
  std::vector<std::string> commands = channels.commands;
  commands.push_back(ScanCountCommand(expectedReadings_));
  commands.push_back(ScanTimerCommand(setup_.TimerSeconds()));
  commands.push_back(ScanStartCommand(setup_.StepMode()));

  phase_ = Phase::Configuring;
  Changed();
  if (!worker_) return Fail(Ending::MeterSilent, LookupMessage(u"1001", "Check Device Connection"), "ERROR");
  ++exchanges_;
  worker_->Run<bool>(
      [commands](Session* session) {
        SendScanCommands(session, commands);
        return true;
      },
      [this](bool) {
        --exchanges_;
        phase_ = Phase::Scanning;
        lastDone_ = -1;
        lastGrowthMs_ = clock_.NowMs();
        timers_.StartRepeating(ScanTimerId::Progress, kPollPeriodMs);
        Changed();
      },
      guard_->Watch());
}

void ScanRun::Ask(const std::string& command, void (ScanRun::*apply)(const QueryAnswer&)) {
  if (!worker_) return Fail(Ending::MeterSilent, LookupMessage(u"1001", "Check Device Connection"), "ERROR");
  ++exchanges_;
  worker_->Run<QueryAnswer>([command](Session* session) { return QueryDevice(session, QueryForm::Scan, command); },
                            [this, apply](QueryAnswer answer) {
                              --exchanges_;
                              (this->*apply)(answer);
                            },
                            guard_->Watch());
}

void ScanRun::ScanTimer(ScanTimerId timer) {
  switch (timer) {
    case ScanTimerId::Progress:
      if (phase_ == Phase::Scanning) Poll();
      return;
    case ScanTimerId::FetchWait:
      if (phase_ == Phase::WaitingToFetch) Fetch();
      return;
    case ScanTimerId::StartTime:
      if (phase_ != Phase::WaitingForStart || setup_.SecondsUntil(ScanPicker::AtTime) >= 0) return;
      scanStartSeconds_ = NowSeconds();
      timers_.Stop(ScanTimerId::StartTime);
      if (!setup_.RangesValid()) return Finish();
      return SendConfiguration();
    case ScanTimerId::Interval:
      if (phase_ != Phase::WaitingForInterval || NowSeconds() - scanStartSeconds_ <= intervalSeconds_ - 1) return;
      ++scansDone_;
      waitForStartTime_ = false;
      timers_.Stop(ScanTimerId::Interval);
      return Start(true);
  }
}

void ScanRun::Poll() {
  // The original handler waited for its answer: a tick that comes while one is
  // on its way asks nothing more.
  if (pollPending_) return;
  pollPending_ = true;
  Ask(kProgressQuery, &ScanRun::OnProgress);
}

void ScanRun::OnProgress(const QueryAnswer& answer) {
  pollPending_ = false;
  if (phase_ != Phase::Scanning) return;
  if (answer.Failed()) return Fail(Ending::MeterSilent, LookupMessage(u"1001", "Check Device Connection"), "ERROR");
  const int done = LeadingInteger(answer.text, 0, 1'000'000'000);
  const qint64 total = Total();
  if (setup_.StopAfterNChecked() && !setup_.PerScanChecked())
    setup_.SetScanCount(static_cast<int>(std::min<qint64>(total, std::numeric_limits<int>::max())));
  progressText_ = QStringLiteral("%1/%2").arg(done).arg(total);

  const qint64 nowMs = clock_.NowMs();
  const qint64 limitMs = kNoProgressLimitMs + static_cast<qint64>(2000.0f * setup_.TimerSeconds());
  if (done > lastDone_) {
    lastDone_ = done;
    lastGrowthMs_ = nowMs;
  } else if (nowMs - lastGrowthMs_ > limitMs) {
    return Fail(Ending::NoProgress,
                QStringLiteral("The scan stopped at %1: the meter counted no reading for %2 s.")
                    .arg(progressText_)
                    .arg((nowMs - lastGrowthMs_) / 1000),
                "ERROR");
  }

  // A PerScan interval runs from the last look at the progress, that is from the end of a scan.
  if (setup_.PerScanChecked()) scanStartSeconds_ = NowSeconds();
  if (done >= total) {
    timers_.Stop(ScanTimerId::Progress);
    phase_ = Phase::WaitingToFetch;
    // Every STEP run waits for the last dwell: its reading comes a period after it is counted.
    timers_.StartOnce(ScanTimerId::FetchWait, FetchWaitMs(setup_.TimerSeconds(), setup_.StepMode()));
  }
  Changed();
}

void ScanRun::Fetch() {
  phase_ = Phase::Fetching;
  Ask(kFetchQuery, &ScanRun::OnFetched);
}

void ScanRun::OnFetched(const QueryAnswer& answer) {
  if (phase_ != Phase::Fetching) return;
  if (answer.Failed()) return Fail(Ending::MeterSilent, LookupMessage(u"1001", "Check Device Connection"), "ERROR");
  const ChannelFunctions functions = setup_.Functions();
  if (functions != lastSentFunctions_) {
    rebuildGrid_ = true;
    lastSentFunctions_ = functions;
  }
  FillResults(answer.text);
  if (!setup_.PerScanChecked()) return Finish();
  if (stopRequested_) return Finish(Ending::Stopped);

  bool again = true;
  if (setup_.StopTimeChecked()) {
    again = setup_.SecondsUntil(ScanPicker::StopTime) >= 0;
  } else if (setup_.StopAfterNChecked()) {
    again = scansDone_ < setup_.NScans();
  }
  if (!again) return Finish();
  phase_ = Phase::WaitingForInterval;
  timers_.StartRepeating(ScanTimerId::Interval, kScheduleTickMs);
  Changed();
}

void ScanRun::WriteHeader() {
  const int k = static_cast<int>(activeChannels_.size());
  grid_.SetColumns(2 + k);
  grid_.SetCell(0, 1, QStringLiteral("Time"));
  for (int j = 0; j < k; ++j) {
    const int channel = activeChannels_[static_cast<std::size_t>(j)];
    const std::string label = ScanFunctionLabel(setup_.Channel(channel).functionIndex);
    grid_.SetCell(0, 2 + j, QStringLiteral("CH%1(%2)").arg(channel + 1).arg(QString::fromStdString(label)));
    grid_.SetCentred(2 + j, true);
  }
}

void ScanRun::FillResults(const std::string& answer) {
  const QTime now = clock_.Now().time();
  const QString timeText = QStringLiteral("%1:%2:%3").arg(now.hour()).arg(now.minute()).arg(now.second());
  const bool perScan = setup_.PerScanChecked();
  const bool plain = !perScan && !setup_.StopAfterNChecked();

  grid_.BeginChange();
  if (rebuildGrid_) {
    grid_.SetRows(1);
    WriteHeader();
    resultsRow_ = 1;
    rebuildGrid_ = false;
  }
  if (plain && setup_.ScanCount() < setup_.ChannelCount()) grid_.SetRows(1);
  if (perScan && grid_.Rows() > 2 && resultsRow_ != 1) {
    grid_.SetRows(resultsRow_);  // the new scan goes below the earlier ones
  } else {
    grid_.SetRows(2);
    if (grid_.Cell(1, 0) != QStringLiteral("1")) grid_.SetRows(1);
    WriteHeader();
  }

  const int k = static_cast<int>(activeChannels_.size());
  if (k > 0) {
    const qint64 readings = Total();
    const int rows = static_cast<int>(readings / k) + (perScan ? resultsRow_ : 1) + (readings % k != 0 ? 1 : 0);
    grid_.SetRows(rows);
    std::size_t pos = 0;
    qint64 index = 0;
    for (int r = resultsRow_; r < rows; ++r) {
      grid_.SetCell(r, 0, QString::number(r));
      grid_.SetCell(r, 1, timeText);
      for (int j = 0; j < k && index < readings; ++j, ++index) {
        // A reading the card counted but did not return is marked, never left blank.
        QString text = QLatin1String(kMissingText);
        if (pos < answer.size()) {
          std::size_t comma = answer.find(',', pos);
          if (comma == std::string::npos) comma = answer.size();
          const std::string value = answer.substr(pos, comma - pos);
          pos = comma + 1;
          if (IsOverload(value)) {
            text = QStringLiteral("OVLD");
          } else if (!value.empty()) {
            double v = LeadingNumber(value);
            const ChannelConfig& config = setup_.Channel(activeChannels_[static_cast<std::size_t>(j)]);
            const QString header = grid_.Cell(0, 2 + j);
            if ((header.contains(QStringLiteral("DCI")) || header.contains(QStringLiteral("ACI"))) &&
                config.shuntR != 0)
              v = v / config.shuntR + config.currentOffset;
            text = QString::fromStdString(FixedText(v, 8));
          }
        }
        if (text == QLatin1String(kMissingText)) ++missingReadings_;
        grid_.SetCell(r, 2 + j, text);
      }
    }
    readingsKept_ += readings;
    scansKept_ += rows - resultsRow_;
    if (perScan) resultsRow_ = rows;
  }
  grid_.EndChange();
  Changed();
}

}  // namespace merilog
