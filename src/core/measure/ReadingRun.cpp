#include "core/measure/ReadingRun.h"

#include <QStringList>
#include <cmath>

#include "core/base/Clock.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/base/Text.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/instrument/SessionWorker.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/SecondFunction.h"
#include "core/measure/ValueDisplay.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordSession.h"
#include "core/records/RecordTexts.h"
#include "core/records/RecordVerdict.h"
#include "core/records/RecordWriter.h"

namespace merilog {

namespace {

QueryAnswer Ask(Session* session, const std::string& command) {
  return QueryDevice(session, QueryForm::MainWindow, command);
}

int MainTrace(bool multiDeviceMode, int position) {
  return multiDeviceMode ? position : 0;
}

}  // namespace

bool IsSlowBandwidth(const std::string& answer) {
  const double v = LeadingNumber(answer);
  return std::isfinite(v) && std::trunc(v) == 3.0;  // compared as a double: never cast an unchecked value
}

MeterExamination ExamineMeter(Session* session) {
  MeterExamination e;
  for (auto [command, out] : {std::pair{"func?\n", &e.function}, std::pair{"*idn?\n", &e.identification}}) {
    QueryAnswer a = Ask(session, command);
    if (a.Failed()) {
      e.failed = true;
      return e;
    }
    *out = std::move(a.text);
  }
  if (Contains(e.identification, "6082")) {
    QueryAnswer a = Ask(session, "func2?\n");
    e.failed = a.Failed();
    e.secondFunction = std::move(a.text);
  }
  return e;
}

void ParseReading(const std::string& answer, const std::string& identification, double* main, double* second) {
  *second = kNoSecondValue;
  const auto comma = answer.find(',');
  if (ContainsAny(identification, {"6081", "6082"}) && comma != std::string::npos) {
    *main = LeadingNumber(std::string_view(answer).substr(0, comma));
    *second = LeadingNumber(std::string_view(answer).substr(comma + 1));
  } else {
    *main = LeadingNumber(answer);
  }
}

ReadingRun::ReadingRun(DeviceListModel& devices, Prompter& prompter, const Clock& clock, ExchangeSequence& sequence)
    : devices_(devices), prompter_(prompter), clock_(clock), sequence_(sequence) {}

ReadingRun::~ReadingRun() {
  // A run ended by closing the program still commits every reading it took.
  if (phase_ == Phase::Running) CloseGaps();
  CloseRecords();
}

void ReadingRun::Warn(const QString& text) {
  prompter_.Message(text, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

bool ReadingRun::SecondActive() const {
  for (const Meter& m : meters_)
    if (m.hasSecond) return true;
  return false;
}

void ReadingRun::Lock() {
  if (phase_ == Phase::Idle) phase_ = Phase::Starting;
}

void ReadingRun::Start(const ReadingPlan& plan, std::function<void(StartOutcome)> done) {
  phase_ = Phase::Starting;
  plan_ = plan;
  startDone_ = std::move(done);
  tickCount_ = 1;
  recordCheckState_ = kCheckPassed;
  slowAcBandwidth_ = false;
  continuationList_.clear();
  recordError_.clear();
  unsaved_ = 0;
  lateTicks_ = 0;
  tickPending_ = false;
  stopTime_ = {};
  stopMs_ = 0;
  runGuard_ = std::make_unique<CallbackGuard>();
  pacer_.reset();
  meters_.clear();
  current_ = devices_.Worker(plan_.currentSlot);
  writer_ = std::make_unique<RecordWriter>([this](QString error) {
    if (recordError_.isEmpty()) recordError_ = std::move(error);
    if (phase_ == Phase::Running && onRecordFailure) onRecordFailure();
  });
  for (int slot : plan_.positionSlots) {
    if (static_cast<int>(meters_.size()) == kMeterPositions) break;
    Meter m;
    m.slot = slot;
    m.worker = devices_.Worker(slot);
    m.identification = devices_.Identification(slot);
    meters_.push_back(std::move(m));
  }
  Examine(0);
}

void ReadingRun::EndStart(StartOutcome outcome) {
  if (outcome == StartOutcome::Running) {
    phase_ = Phase::Running;
    // The planned stop counts from the moment the readings begin.
    const QDateTime now = clock_.Now();
    if (plan_.runForMs > 0) stopTime_ = now.addMSecs(plan_.runForMs);
    if (plan_.stopAt.isValid() && (!stopTime_.isValid() || plan_.stopAt < stopTime_)) stopTime_ = plan_.stopAt;
    if (stopTime_.isValid()) stopMs_ = std::max<qint64>(1, stopTime_.toMSecsSinceEpoch());
  }
  if (auto done = std::move(startDone_)) done(outcome);
}

void ReadingRun::Examine(int d) {
  if (d == ActiveCount()) return FinishStart();
  sequence_.Ask<MeterExamination>(meters_[d].worker, ExamineMeter, [this, d](MeterExamination e) { Examined(d, e); });
}

void ReadingRun::Examined(int d, const MeterExamination& e) {
  // A meter that does not answer is reported as what it is, never as a
  // function change computed from an empty answer.
  if (e.failed) return EndStart(StartOutcome::MeterFailed);
  Meter& m = meters_[d];
  m.function = e.function;
  m.hasSecond = SecondFunctionNameToLabel(StripQuotesAndLineFeeds(e.secondFunction)) != "NONE";
  const QString f1 = AbbreviateFunction(QString::fromStdString(e.function));
  const QString f2 = AbbreviateFunction(QString::fromStdString(e.secondFunction));
  m.function1 = f1;
  m.function2 = f2;
  if (plan_.saveEnabled[d]) {
    bool declined = false;
    CheckAndPrepare(m, d, f1, f2, &declined);
    if (declined) return EndStart(StartOutcome::Declined);
  }
  if (m.function != "VOLT:AC" && m.function != "CURR:AC") return Examine(d + 1);
  sequence_.Ask<QueryAnswer>(
      m.worker, [](Session* s) { return Ask(s, "det:band?\n"); },
      [this, d](QueryAnswer band) {
        if (band.Failed()) return EndStart(StartOutcome::MeterFailed);
        slowAcBandwidth_ = IsSlowBandwidth(band.text);
        Examine(d + 1);
      });
}

void ReadingRun::FinishStart() {
  sequence_.Ask<QueryAnswer>(
      current_, [](Session* s) { return Ask(s, "*cls\n"); },
      [this](QueryAnswer) {
        if (recordCheckState_ != kCheckPassed) {
          if (recordCheckState_ == kRecordHasReadings) Warn(record_texts::RecordHasReadings());
          return EndStart(StartOutcome::Refused);
        }
        if (slowAcBandwidth_) {
          // Each meter measures while the previous tick's answer is read: the
          // first request goes out now, without its line feed.
          for (const Meter& m : meters_)
            if (m.worker)
              m.worker->Post([](Session* s) {
                if (s) s->Write("read?");
              });
          if (current_)
            current_->Post([](Session* s) {
              if (s) s->SetTimeout(kPipelinedReadTimeoutMs);
            });
        }
        EndStart(StartOutcome::Running);
      });
}

void ReadingRun::CheckAndPrepare(Meter& m, int d, const QString& f1, const QString& f2, bool* declined) {
  const int number = plan_.recordNumber[d];
  if (number < kFirstRecordNumber || number > kLastRecordNumber) {
    // No list shows such a record: nothing is written where the user cannot find it.
    Warn(LookupMessage(u"1013", "Please select a record."));
    m.recordBlocked = true;
    if (recordCheckState_ == kCheckPassed) recordCheckState_ = kBothChanged;
    return;
  }
  const RecordCheck check = CheckRecord(number, prompter_, continuationList_);
  const RecordVerdict v = DecideRecordVerdict(check, f1, f2, recordCheckState_);
  recordCheckState_ = v.state;
  m.recordBlocked = v.blocked;
  if (!v.message.isEmpty()) Warn(v.message);
  if (v.action == RecordVerdict::Action::None) return;
  if (v.action == RecordVerdict::Action::AskToContinue) {
    const auto answer = prompter_.Message(record_texts::ContinuationQuestion(continuationList_), QString(),
                                          Prompter::Icon::Question, Prompter::Buttons::YesNo);
    if (answer != Prompter::Answer::Yes) {
      m.recordBlocked = true;
      *declined = true;
      return;
    }
  }
  auto prepared = PrepareRecord(number, f1, f2, prompter_, clock_);
  if (!prepared) {
    // No file to write into: the run must not start, like a failed check.
    if (!prepared.error().isEmpty())
      prompter_.Message(prepared.error(), record_texts::ErrorCaption(), Prompter::Icon::Exclamation,
                        Prompter::Buttons::Ok);
    m.recordBlocked = true;
    if (recordCheckState_ == kCheckPassed) recordCheckState_ = kBothChanged;
    return;
  }
  m.record = writer_->Adopt(std::move(prepared.value()));
}

bool ReadingRun::TimeUp() const {
  return stopMs_ > 0 && clock_.NowMs() >= stopMs_;
}

bool ReadingRun::Tick(std::function<void(TickOutcome)> done) {
  if (phase_ != Phase::Running || pacer_) return true;  // a paced run ticks itself
  if (TimeUp()) {
    // On time even while a meter is still answering: Stop commits every reading taken.
    if (done) done(TickOutcome::TimeUp);
    return true;
  }
  if (plan_.keepGoing) return TickKeepGoing(std::move(done));
  if (tickPending_) {
    ++lateTicks_;
    return false;
  }
  tickPending_ = true;
  tickDone_ = std::move(done);
  BeginTick();

  // Every meter at once; each answer is stamped as it comes, and applied in
  // meter order when the last is in.
  readings_.assign(meters_.size(), {});
  answered_ = 0;
  tickGuard_ = std::make_unique<CallbackGuard>();
  const bool pipelined = slowAcBandwidth_;
  for (int d = 0; d < ActiveCount(); ++d) {
    auto arrived = [this, d](MeterReading r) {
      r.at = clock_.TimeOfDay();  // without a look at the time zone's files each time
      readings_[d] = std::move(r);
      if (++answered_ == ActiveCount()) ApplyTick();
    };
    if (!meters_[d].worker) {
      arrived(ReadMeter(nullptr, pipelined));
      continue;
    }
    meters_[d].worker->Run<MeterReading>([pipelined](Session* s) { return ReadMeter(s, pipelined); }, arrived,
                                         tickGuard_->Watch());
  }
  if (meters_.empty()) ApplyTick();
  return true;
}

bool ReadingRun::RedrawDue() {
  const int every = buffer_.TicksPerRedraw();
  if (every <= 0 || tickCount_ % every != 0) return false;
  tickCount_ = 0;
  return true;
}

void ReadingRun::BeginTick() {
  ++tickCount_;
  std::array<int, kMeterPositions> traces{};
  for (int d = 0; d < ActiveCount(); ++d) traces[d] = MainTrace(plan_.multiDeviceMode, d);
  buffer_.AdvanceWindow(std::span<const int>(traces.data(), static_cast<size_t>(ActiveCount())), !slowAcBandwidth_);
}

bool ReadingRun::Pace(int intervalMs, long long ticks, std::function<void(TickOutcome)> done) {
  if (phase_ != Phase::Running || plan_.keepGoing || meters_.empty() || tickPending_) return false;
  ReadingPacer::Plan plan;
  for (const Meter& m : meters_) {
    if (!m.worker) return false;
    plan.workers.push_back(m.worker);
  }
  plan.periodMs = intervalMs;
  plan.pipelined = slowAcBandwidth_;
  plan.ticks = ticks;
  plan.stopMs = stopMs_;
  pacedDone_ = std::move(done);
  pacer_ = std::make_unique<ReadingPacer>(std::move(plan), clock_,
                                          [this](std::vector<ReadingPacer::Tick> t) { ApplyPaced(std::move(t)); });
  return true;
}

void ReadingRun::ApplyPaced(std::vector<ReadingPacer::Tick> ticks) {
  for (ReadingPacer::Tick& t : ticks) {
    if (phase_ != Phase::Running) return;  // a tick before stopped the run
    lateTicks_ += t.late;
    if (t.timeUp) {
      if (auto done = pacedDone_) done(TickOutcome::TimeUp);
      return;
    }
    BeginTick();
    readings_ = std::move(t.readings);
    tickDone_ = pacedDone_;
    ApplyTick();
  }
  // The batch's rows go to the disk now: no timer of the writer's wakes this thread again for them.
  if (writer_) writer_->HandOver();
}

void ReadingRun::AddRow(int d, const MeterReading& r, double main, double second,
                        std::vector<RecordWriter::Row>* rows) {
  const Meter& m = meters_[d];
  if (!plan_.saveEnabled[d] || !r.ok || m.record < 0) return;
  RecordWriter::Row row;
  row.record = m.record;
  row.value = main == kZeroSubstitute ? 0.0 : main;
  row.value2nd = second == kZeroSubstitute ? 0.0 : second;
  row.time = FormatReadTime(r.at);
  rows->push_back(row);
}

void ReadingRun::Show(int d, const MeterReading& r, double main, double second, bool* grown) {
  Meter& m = meters_[d];
  // Once per tick, and never past XMax, however many meters answered.
  if (slowAcBandwidth_ && r.ok && !*grown) {
    buffer_.GrowPoint();
    *grown = true;
  }
  m.texts.secondText = SecondDisplayText(second);
  const int trace = MainTrace(plan_.multiDeviceMode, d);
  const ValueDisplay shown = DisplayValue(main, m.function);
  m.texts.mainText = shown.text;
  if (shown.buffered) buffer_.Store(trace, shown.value);
  if (m.hasSecond) {
    const ValueDisplay shown2 = DisplayValue(second, m.function);
    m.texts.secondText = shown2.text;
    if (shown2.buffered) buffer_.Store(trace + 4, shown2.value);
  }
  const ReadingLimits& limits = plan_.limits[d];
  if (!limits.Any()) return;
  switch (m.limit.Note(limits, main)) {
    case LimitWatch::Change::Crossed:
      Event(d, QStringLiteral("reading %1 is %2")
                   .arg(QString::fromStdString(shown.text), QString::fromStdString(limits.Describe(main))));
      break;
    case LimitWatch::Change::Returned:
      Event(d, QStringLiteral("back within the limits (%1)").arg(QString::fromStdString(shown.text)));
      break;
    case LimitWatch::Change::None:
      break;
  }
}

void ReadingRun::ApplyTick() {
  tickPending_ = false;
  TickOutcome outcome = TickOutcome::Done;
  std::vector<RecordWriter::Row> rows;
  bool grown = false;
  for (int d = 0; d < ActiveCount(); ++d) {
    Meter& m = meters_[d];
    const MeterReading& r = readings_[d];
    if (r.failed) {
      outcome = TickOutcome::ReadFailed;
      continue;
    }
    double main = 0, second = 0;
    ParseReading(r.answer, m.identification.empty() ? r.answer : m.identification, &main, &second);
    // A reading taken is stored even when another meter failed this tick.
    AddRow(d, r, main, second, &rows);
    if (outcome == TickOutcome::ReadFailed) continue;  // meters after a failed one are not shown
    Show(d, r, main, second, &grown);
  }
  if (!rows.empty()) writer_->Append(std::move(rows));
  if (outcome == TickOutcome::Done && RedrawDue()) outcome = TickOutcome::Redraw;
  if (auto done = std::move(tickDone_)) done(outcome);
}

bool ReadingRun::TickKeepGoing(std::function<void(TickOutcome)> done) {
  // A meter still answering an earlier tick holds up nobody: that tick ends now.
  if (tickPending_) {
    ++lateTicks_;
    EndKeepGoingTick();
  }
  // The tick a meter is still answering keeps the reading before, until its answer comes.
  for (int d = 0; d < ActiveCount(); ++d) {
    const int trace = MainTrace(plan_.multiDeviceMode, d);
    if (meters_[d].reading)
      for (int t : {trace, trace + 4}) buffer_.RepeatPrevious(t);
  }
  BeginTick();
  grown_ = false;
  tickPending_ = true;
  tickDone_ = std::move(done);
  keepGoingOutcome_ = RedrawDue() ? TickOutcome::Redraw : TickOutcome::Done;
  readings_.assign(meters_.size(), {});
  answered_ = 0;
  asked_ = 0;
  const long long tick = ++tickSerial_;
  const qint64 nowMs = clock_.NowMs();
  const bool pipelined = slowAcBandwidth_;
  for (int d = 0; d < ActiveCount(); ++d) {
    Meter& m = meters_[d];
    if (m.loss.Lost()) {
      const int trace = MainTrace(plan_.multiDeviceMode, d);
      buffer_.MarkGap(trace);
      buffer_.MarkGap(trace + 4);
      if (m.loss.TryDue(nowMs)) LookFor(d);
      continue;
    }
    if (m.reading) continue;  // its answer to an earlier tick is still on its way
    if (!m.worker) {
      m.askedAt = clock_.Now();
      Lose(d, "no session");
      continue;
    }
    m.reading = true;
    m.askedAt = clock_.Now();
    ++asked_;
    m.worker->Run<MeterReading>([pipelined](Session* s) { return ReadMeter(s, pipelined); },
                                [this, d, tick](MeterReading r) { Arrived(d, std::move(r), tick); },
                                runGuard_->Watch());
  }
  if (asked_ == 0) EndKeepGoingTick();
  return true;
}

void ReadingRun::Arrived(int d, MeterReading r, long long tick) {
  Meter& m = meters_[d];
  m.reading = false;
  r.at = clock_.TimeOfDay();
  if (phase_ == Phase::Running) {
    if (r.failed) {
      Lose(d, "no answer to \"read?\" (status " + std::to_string(r.status) + ")");
    } else {
      double main = 0, second = 0;
      ParseReading(r.answer, m.identification.empty() ? r.answer : m.identification, &main, &second);
      std::vector<RecordWriter::Row> rows;
      AddRow(d, r, main, second, &rows);
      if (!rows.empty()) writer_->Append(std::move(rows));
      // A late answer still shows and is charted where the window is now.
      Show(d, r, main, second, &grown_);
    }
  }
  if (tick == tickSerial_ && tickPending_ && ++answered_ == asked_) EndKeepGoingTick();
}

void ReadingRun::EndKeepGoingTick() {
  tickPending_ = false;
  if (auto done = std::move(tickDone_)) done(keepGoingOutcome_);
}

void ReadingRun::Lose(int d, std::string cause) {
  Meter& m = meters_[d];
  m.loss.Lose(m.askedAt, clock_.NowMs(), cause);
  m.wrongFunctionTold = false;
  const int trace = MainTrace(plan_.multiDeviceMode, d);
  buffer_.MarkGap(trace);
  buffer_.MarkGap(trace + 4);
  Event(d, QStringLiteral("lost (%1); the other meters read on").arg(QString::fromStdString(cause)));
}

void ReadingRun::LookFor(int d) {
  meters_[d].loss.Trying();
  devices_.Reconnect(
      meters_[d].slot, [this, d](Reopened found) { Found(d, found); }, runGuard_->Watch());
}

void ReadingRun::Found(int d, const Reopened& found) {
  Meter& m = meters_[d];
  if (!found.found) return m.loss.TryFailed(clock_.NowMs(), found.why);
  // Configured as at start: its functions are asked again and must be those its record was checked with.
  m.worker->Run<MeterExamination>(
      ExamineMeter, [this, d, resource = found.resource](MeterExamination e) { Examined(d, e, resource); },
      runGuard_->Watch());
}

void ReadingRun::Examined(int d, const MeterExamination& e, const std::string& resource) {
  Meter& m = meters_[d];
  if (e.failed) return m.loss.TryFailed(clock_.NowMs(), "no answer to \"func?\"");
  const QString f1 = AbbreviateFunction(QString::fromStdString(e.function));
  const QString f2 = AbbreviateFunction(QString::fromStdString(e.secondFunction));
  if (f1 != m.function1 || f2 != m.function2) {
    // Never another function's readings in this record: it stays lost until set back.
    const QString now = f2 == "NONE" ? f1 : f1 + " / " + f2;
    const QString then = m.function2 == "NONE" ? m.function1 : m.function1 + " / " + m.function2;
    if (!m.wrongFunctionTold)
      Event(d, QStringLiteral("is back on %1, but it was reading %2: nothing is read from it until it is set to %2 "
                              "again")
                   .arg(now, then));
    m.wrongFunctionTold = true;
    return m.loss.TryFailed(clock_.NowMs(), "back on another function");
  }
  const bool pipelined = slowAcBandwidth_;
  const bool current = m.worker == current_;
  m.worker->Post([pipelined, current](Session* s) {
    if (!s) return;
    QueryDevice(s, QueryForm::MainWindow, "*cls\n");
    if (!pipelined) return;
    s->Write("read?");
    if (current) s->SetTimeout(kPipelinedReadTimeoutMs);
  });
  const RecordGap gap = m.loss.Back(clock_.Now());
  if (m.record >= 0 && plan_.saveEnabled[d]) writer_->AddGap(m.record, gap);
  Event(d, QStringLiteral("back after %1 (%2); the gap is stored")
               .arg(RecordGaps::DurationText(gap.Ms()), QString::fromStdString(resource)));
}

void ReadingRun::Event(int d, const QString& text) {
  if (onEvent) onEvent(d, text);
}

void ReadingRun::CloseGaps() {
  const QDateTime now = clock_.Now();
  for (int d = 0; d < ActiveCount(); ++d) {
    Meter& m = meters_[d];
    if (!m.loss.Lost()) continue;
    const RecordGap gap = m.loss.EndOfRun(now);
    if (writer_ && m.record >= 0 && plan_.saveEnabled[d]) writer_->AddGap(m.record, gap);
  }
}

QString ReadingRun::EndSummary(int d) const {
  const Meter& m = meters_[d];
  QStringList parts;
  if (plan_.keepGoing) parts << RecordGaps::Describe(m.loss.Totals());
  if (plan_.limits[d].Any())
    parts << QStringLiteral("%1 %2 outside the limits")
                 .arg(m.limit.Count())
                 .arg(m.limit.Count() == 1 ? "reading" : "readings");
  return parts.join(QStringLiteral("; "));
}

void ReadingRun::CloseRecords() {
  if (!writer_) return;
  const RecordWriter::Closed closed = writer_->CloseAll();
  writer_.reset();
  unsaved_ += closed.unsaved;
  if (recordError_.isEmpty()) recordError_ = closed.error;
}

QString ReadingRun::RecordFailureText() const {
  if (recordError_.isEmpty()) return {};
  if (unsaved_ == 0)
    return QStringLiteral("%1\nThe readings stopped; every reading taken was saved.").arg(recordError_.trimmed());
  return QStringLiteral("%1\nThe readings stopped; %2 readings were not saved.")
      .arg(recordError_.trimmed())
      .arg(unsaved_);
}

void ReadingRun::Stop() {
  if (phase_ == Phase::Idle) return;
  const bool wasRunning = phase_ == Phase::Running;
  // A start or a tick still waiting is forgotten; its read is cut short where
  // the session allows (VXI-11, HiSLIP), else it times out on the meter's own thread.
  const bool waiting = tickPending_ || phase_ == Phase::Starting || pacer_ != nullptr;
  // No paced tick starts after this; the one being read is cut short below.
  if (pacer_) pacer_->Stop();
  pacedDone_ = nullptr;
  phase_ = Phase::Idle;
  continuationList_.clear();
  startDone_ = nullptr;
  // A reconnection on its way is forgotten; a meter still lost ends its gap now.
  runGuard_.reset();
  if (wasRunning) CloseGaps();
  for (Meter& m : meters_) m.reading = false;
  if (waiting)
    for (const Meter& m : meters_)
      if (m.worker) m.worker->Abort();
  tickPending_ = false;
  tickDone_ = nullptr;
  tickGuard_.reset();
  CloseRecords();
  for (const Meter& m : meters_) {
    if (m.worker)
      m.worker->Post([](Session* s) {
        if (!s) return;
        s->Clear();
        s->Write("*cls");
      });
  }
  slowAcBandwidth_ = false;
  if (current_)
    current_->Post([](Session* s) {
      if (s) s->SetTimeout(kNormalReadTimeoutMs);
    });
}

}  // namespace merilog
