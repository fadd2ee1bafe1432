#include "core/scan/ScanRun.h"

#include <algorithm>

#include "core/base/Clock.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/instrument/SessionWorker.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/NumericText.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanProcedures.h"
#include "core/scan/ScanResultsGrid.h"
#include "core/scan/ScanSetup.h"

namespace merilog {

namespace {

constexpr char kProgressQuery[] = "Rout:scan:state?\n";
constexpr char kFetchQuery[] = "fetch?\n";
constexpr int kPerScanSettleMs = 1000;

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

int ScanRun::Total() const {
  if (setup_.PerScanChecked()) return readingsPerScan_;
  if (setup_.StopAfterNChecked()) return setup_.NScans() * readingsPerScan_;
  return setup_.ScanCount();
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
  phase_ = Phase::Idle;
  if (wasActive) ending_ = Ending::Exited;
}

void ScanRun::Finish() {
  StopTimers();
  phase_ = Phase::Idle;
  ending_ = Ending::Completed;
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
  auto error = [&](const char* text) {
    prompter_.Message(QString::fromUtf8(text), QStringLiteral("Error"), Prompter::Icon::Stop, Prompter::Buttons::Ok);
    refuse();
  };
  if (setup_.StopTimeChecked() && setup_.SecondsUntil(ScanPicker::StopTime) < 0) {
    timers_.Stop(ScanTimerId::Interval);
    return Finish();
  }
  if (!setup_.TimerTextValid()) return error("The value of \"Timer\" is error ! Please re-enter.");
  if (!setup_.NTextValid()) return error("The value of \"N Scan\" is error ! Please re-enter.");
  setup_.ReadFields();
  if (grid_.Rows() > kMaxGridRows) return refuse();
  if (setup_.ShownCurrentLacksShunt()) return error("The value of \"R\" can't equal to 0 ! Please re-enter.");

  setup_.DemoteUnshuntedCurrents();
  readingsPerScan_ = ReadingsPerScan(setup_.Functions(), setup_.ChannelCount());
  // Without a channel to measure the card would never count a reading.
  if (readingsPerScan_ == 0) return error("No channel has a function to measure. Please choose one.");

  scanStartSeconds_ = NowSeconds();
  if (setup_.PerScanChecked()) intervalSeconds_ = setup_.IntervalSeconds();
  if (setup_.AtTimeChecked() && waitForStartTime_) {
    phase_ = Phase::WaitingForStart;
    timers_.StartRepeating(ScanTimerId::StartTime, kScheduleTickMs);
    Changed();
    return;
  }
  if (!setup_.RangesValid()) return Finish();
  SendConfiguration();
}

void ScanRun::SendConfiguration() {
  const ChannelSetup channels = ScanChannelSetup(setup_.Functions(), setup_.ChannelCount());
  activeChannels_ = channels.activeChannels;
  if (setup_.PerScanChecked())
    expectedReadings_ = readingsPerScan_;
  else if (setup_.StopAfterNChecked())
    expectedReadings_ = setup_.NScans() * readingsPerScan_;
  else
    expectedReadings_ = setup_.ScanCount();
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
  const int done = static_cast<int>(std::clamp(LeadingNumber(answer.text), 0.0, 1e9));
  const int total = Total();
  if (setup_.StopAfterNChecked() && !setup_.PerScanChecked()) setup_.SetScanCount(total);
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

  if (setup_.PerScanChecked()) {
    // The interval runs from the last look at the progress, that is from the end of a scan.
    scanStartSeconds_ = NowSeconds();
    if (done >= readingsPerScan_) {
      timers_.Stop(ScanTimerId::Progress);
      phase_ = Phase::WaitingToFetch;
      timers_.StartOnce(ScanTimerId::FetchWait, kPerScanSettleMs);
    }
  } else if (done >= total) {
    timers_.Stop(ScanTimerId::Progress);
    phase_ = Phase::WaitingToFetch;
    const bool plain = !setup_.StopAfterNChecked();
    timers_.StartOnce(ScanTimerId::FetchWait, FetchWaitMs(setup_.TimerSeconds(), plain && setup_.StepMode()));
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
    const int readings = perScan ? readingsPerScan_ : Total();
    const int rows = readings / k + (perScan ? resultsRow_ : 1) + (readings % k != 0 ? 1 : 0);
    grid_.SetRows(rows);
    std::size_t pos = 0;
    for (int r = resultsRow_; r < rows; ++r) {
      grid_.SetCell(r, 0, QString::number(r));
      grid_.SetCell(r, 1, timeText);
      for (int j = 0; j < k && pos < answer.size(); ++j) {
        std::size_t comma = answer.find(',', pos);
        if (comma == std::string::npos) comma = answer.size();
        const std::string value = answer.substr(pos, comma - pos);
        pos = comma + 1;
        const int column = 2 + j;
        QString text = QStringLiteral("OVLD");
        if (!IsOverload(value)) {
          double v = LeadingNumber(value);
          const ChannelConfig& config = setup_.Channel(activeChannels_[static_cast<std::size_t>(j)]);
          const QString header = grid_.Cell(0, column);
          if ((header.contains(QStringLiteral("DCI")) || header.contains(QStringLiteral("ACI"))) && config.shuntR != 0)
            v = v / config.shuntR + config.currentOffset;
          text = QString::fromStdString(FixedText(v, 8));
        }
        grid_.SetCell(r, column, text);
      }
    }
    if (perScan) resultsRow_ = rows;
  }
  grid_.EndChange();
  Changed();
}

}  // namespace merilog
