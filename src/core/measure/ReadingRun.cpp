#include "core/measure/ReadingRun.h"

#include <cmath>

#include "core/base/Clock.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/base/Text.h"
#include "core/instrument/DeviceListModel.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/SecondFunction.h"
#include "core/measure/ValueDisplay.h"
#include "core/records/RecordAppender.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordSession.h"
#include "core/records/RecordTexts.h"
#include "core/records/RecordVerdict.h"

namespace merilog {

namespace {

QueryAnswer Ask(Session* session, const std::string& command) {
  return QueryDevice(session, QueryForm::MainWindow, command);
}

// The detector bandwidth answer read as an integer: "3.0" counts, "abc", "nan"
// and numbers beyond any integer do not.
bool IsSlowBandwidth(const std::string& answer) {
  const double v = LeadingNumber(answer);
  return std::isfinite(v) && std::trunc(v) == 3.0;
}

int MainTrace(bool multiDeviceMode, int position) {
  return multiDeviceMode ? position : 0;
}

}  // namespace

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

MeterReading ReadMeter(Session* session, bool pipelined, const Clock& clock) {
  MeterReading r;
  if (!pipelined) {
    QueryAnswer a = Ask(session, "read?\n");
    r.at = clock.Now().time();
    r.ok = IsSuccess(a.status);
    r.failed = a.text.empty() && !r.ok;
    r.answer = std::move(a.text);
    return r;
  }
  ReadResult raw = session ? session->Read(kQueryPieceBytes) : ReadResult{status::kErrorInvalidObject, {}, false};
  r.at = clock.Now().time();
  r.answer = std::move(raw.bytes);
  r.ok = IsSuccess(raw.status);
  if (r.ok)
    session->Write("read?");
  else
    r.failed = r.answer.empty();
  return r;
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

ReadingRun::ReadingRun(DeviceListModel& devices, Prompter& prompter, const Clock& clock)
    : devices_(devices), prompter_(prompter), clock_(clock) {}

ReadingRun::~ReadingRun() {
  // A run ended by closing the program still commits every reading it took.
  CloseRecords();
}

Session* ReadingRun::SessionOf(int slot) const {
  const DeviceEntry* e = devices_.Entry(slot);
  return e ? e->session : nullptr;
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

ReadingRun::StartOutcome ReadingRun::Start(const ReadingPlan& plan) {
  phase_ = Phase::Starting;
  plan_ = plan;
  tickCount_ = 1;
  recordCheckState_ = kCheckPassed;
  slowAcBandwidth_ = false;
  continuationList_.clear();
  recordError_.clear();
  unsaved_ = 0;
  meters_.clear();
  for (int slot : plan_.positionSlots) {
    if (static_cast<int>(meters_.size()) == kMeterPositions) break;
    Meter m;
    m.slot = slot;
    m.entry = devices_.Entry(slot);
    meters_.push_back(std::move(m));
  }

  for (int d = 0; d < ActiveCount(); ++d) {
    Meter& m = meters_[d];
    Session* session = SessionOf(m.slot);
    const MeterExamination e = ExamineMeter(session);
    // A meter that does not answer is reported as what it is, never as a
    // function change computed from an empty answer.
    if (e.failed) return StartOutcome::MeterFailed;
    m.function = e.function;
    m.hasSecond = SecondFunctionNameToLabel(StripQuotesAndLineFeeds(e.secondFunction)) != "NONE";
    const QString f1 = AbbreviateFunction(QString::fromStdString(e.function));
    const QString f2 = AbbreviateFunction(QString::fromStdString(e.secondFunction));
    if (plan_.saveEnabled[d]) {
      bool declined = false;
      CheckAndPrepare(m, d, f1, f2, &declined);
      if (declined) return StartOutcome::Declined;
    }
    if (m.function == "VOLT:AC" || m.function == "CURR:AC") {
      const QueryAnswer band = Ask(session, "det:band?\n");
      if (band.Failed()) return StartOutcome::MeterFailed;
      slowAcBandwidth_ = IsSlowBandwidth(band.text);
    }
  }

  Ask(SessionOf(plan_.currentSlot), "*cls\n");
  if (recordCheckState_ != kCheckPassed) {
    if (recordCheckState_ == kRecordHasReadings) Warn(record_texts::RecordHasReadings());
    return StartOutcome::Refused;
  }
  if (slowAcBandwidth_) {
    // Each meter measures while the previous tick's answer is read: the first
    // request goes out now, without its line feed.
    for (const Meter& m : meters_)
      if (Session* session = SessionOf(m.slot)) session->Write("read?");
    if (Session* current = SessionOf(plan_.currentSlot)) current->SetTimeout(kPipelinedReadTimeoutMs);
  }
  phase_ = Phase::Running;
  return StartOutcome::Running;
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
  m.record = std::move(prepared.value());
}

ReadingRun::TickOutcome ReadingRun::Tick() {
  if (phase_ != Phase::Running) return TickOutcome::Done;
  ++tickCount_;
  const bool multi = plan_.multiDeviceMode;
  const bool pipelined = slowAcBandwidth_;
  std::array<int, kMeterPositions> traces{};
  for (int d = 0; d < ActiveCount(); ++d) traces[d] = MainTrace(multi, d);
  buffer_.AdvanceWindow(std::span<const int>(traces.data(), static_cast<size_t>(ActiveCount())), !pipelined);

  bool grown = false;
  for (int d = 0; d < ActiveCount(); ++d) {
    Meter& m = meters_[d];
    const MeterReading r = ReadMeter(SessionOf(m.slot), pipelined, clock_);
    if (r.failed) return TickOutcome::ReadFailed;
    // Once per tick, and never past XMax, however many meters answered.
    if (pipelined && r.ok && !grown) {
      buffer_.GrowPoint();
      grown = true;
    }
    double main = 0, second = 0;
    ParseReading(r.answer, m.entry ? m.entry->identification : r.answer, &main, &second);

    m.texts.secondText = SecondDisplayText(second);
    const int trace = MainTrace(multi, d);
    const ValueDisplay shown = DisplayValue(main, m.function);
    m.texts.mainText = shown.text;
    if (shown.buffered) buffer_.Store(trace, shown.value);
    if (m.hasSecond) {
      const ValueDisplay shown2 = DisplayValue(second, m.function);
      m.texts.secondText = shown2.text;
      if (shown2.buffered) buffer_.Store(trace + 4, shown2.value);
    }
    if (plan_.saveEnabled[d] && r.ok && !Store(m, main, second, r.at)) return TickOutcome::RecordFailed;
  }

  const int every = buffer_.TicksPerRedraw();
  if (every > 0 && tickCount_ % every == 0) {
    tickCount_ = 0;
    return TickOutcome::Redraw;
  }
  return TickOutcome::Done;
}

bool ReadingRun::Store(Meter& m, double main, double second, const QTime& at) {
  if (!m.record) return true;
  const double stored = main == kZeroSubstitute ? 0.0 : main;
  const double stored2 = second == kZeroSubstitute ? 0.0 : second;
  RecordStatus st = m.record->Append(stored, stored2, at);
  if (st.ok()) st = m.record->FlushIfDue();
  if (st.ok()) return true;
  // A record that cannot take readings ends the run: Stop tries once more and
  // says how many readings were lost.
  recordError_ = m.record->LastError().isEmpty() ? st.error : m.record->LastError();
  return false;
}

void ReadingRun::CloseRecords() {
  for (Meter& m : meters_) {
    if (!m.record) continue;
    const RecordStatus closed = m.record->Close();
    const int lost = m.record->PendingRows();
    unsaved_ += lost;
    if ((!closed.ok() || lost > 0) && recordError_.isEmpty())
      recordError_ = m.record->LastError().isEmpty() ? closed.error : m.record->LastError();
    m.record.reset();
  }
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
  phase_ = Phase::Idle;
  continuationList_.clear();
  CloseRecords();
  for (const Meter& m : meters_) {
    if (Session* session = SessionOf(m.slot)) {
      session->Clear();
      session->Write("*cls");
    }
  }
  slowAcBandwidth_ = false;
  if (Session* current = SessionOf(plan_.currentSlot)) current->SetTimeout(kNormalReadTimeoutMs);
}

}  // namespace merilog
