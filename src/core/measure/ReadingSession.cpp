#include "core/measure/ReadingSession.h"

#include "core/base/Prompter.h"
#include "core/instrument/DeviceListModel.h"
#include "core/measure/ChartNumberText.h"
#include "core/records/RecordAppender.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordSession.h"
#include "core/records/RecordTexts.h"
#include "core/records/RecordVerdict.h"

namespace merilog {

ReadingSession::ReadingSession(DeviceListModel& devices, Prompter& prompter, const Clock& clock)
    : devices_(devices), prompter_(prompter), clock_(clock) {}

ReadingSession::~ReadingSession() = default;

Session* ReadingSession::MeterSession(int slot) const {
  const auto& d = devices_.Devices();
  return slot >= 0 && slot < static_cast<int>(d.size()) ? d[slot].session : nullptr;
}

void ReadingSession::Warn(const QString& text) {
  prompter_.Message(text, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

ReadingSession::StartOutcome ReadingSession::Begin(const ReadingPlan& plan) {
  plan_ = plan;
  readingActive_ = true;
  tickCount_ = 1;
  const int currentSlot = devices_.State().currentSlot;
  activeSlots_.clear();
  if (plan_.multiDeviceMode) {
    for (int s : plan_.chosenSlots)
      if (static_cast<int>(activeSlots_.size()) < kReadingSessionPositions) activeSlots_.push_back(s);
  } else {
    activeSlots_.push_back(currentSlot);
  }
  recordCheckState_ = 0;
  recordBlocked_.fill(0);
  recordErrorShown_.fill(false);
  for (auto& f : function_) f.clear();
  continuationList_.clear();

  DeviceQuery& q = devices_.Query();
  for (int d = 0; d < ActiveCount(); ++d) {
    const int s = activeSlots_[d];
    function_[d] = q.Query(s, "func?\n");
    std::string second = "NONE";
    if (q.Query(s, "*idn?\n").find("6082") != std::string::npos) second = q.Query(s, "func2?\n");
    const QString f1 = AbbreviateFunction(QString::fromStdString(function_[d]));
    const QString f2 = AbbreviateFunction(QString::fromStdString(second));
    if (plan_.saveEnabled[d]) {
      bool declined = false;
      CheckAndPrepare(d, f1, f2, &declined);
      if (declined) return StartOutcome::Declined;
    }
    if (function_[d] == "VOLT:AC" || function_[d] == "CURR:AC") {
      // Read as an integer: "3.0" counts, "abc" is 0.
      slowAcBandwidth_ = static_cast<int>(LeadingNumber(q.Query(s, "det:band?\n"))) == 3;
    }
  }

  q.Query(currentSlot, "*cls\n");
  if (recordCheckState_ != kCheckPassed) {
    if (recordCheckState_ == kRecordHasReadings) Warn(record_texts::RecordHasReadings());
    return StartOutcome::Refused;
  }
  if (slowAcBandwidth_) {
    // Each meter measures while the previous tick's answer is read: the first
    // request goes out now, without its line feed.
    for (int s : activeSlots_)
      if (Session* session = MeterSession(s)) session->Write("read?");
    if (Session* current = MeterSession(currentSlot)) current->SetTimeout(kPipelinedReadTimeoutMs);
  }
  return StartOutcome::Running;
}

void ReadingSession::CheckAndPrepare(int d, const QString& f1, const QString& f2, bool* declined) {
  const RecordCheck check = CheckRecord(plan_.recordNumber[d], prompter_, continuationList_);
  const RecordVerdict v = DecideRecordVerdict(check, f1, f2, recordCheckState_);
  recordCheckState_ = v.state;
  recordBlocked_[d] = v.blocked ? 1 : 0;
  if (!v.message.isEmpty()) Warn(v.message);
  if (v.action == RecordVerdict::Action::None) return;
  if (v.action == RecordVerdict::Action::AskToContinue) {
    const auto answer = prompter_.Message(record_texts::ContinuationQuestion(continuationList_), QString(),
                                          Prompter::Icon::Question, Prompter::Buttons::YesNo);
    if (answer != Prompter::Answer::Yes) {
      recordBlocked_[d] = 1;
      *declined = true;
      return;
    }
  }
  auto prepared = PrepareRecord(plan_.recordNumber[d], f1, f2, prompter_, clock_);
  if (!prepared) {
    // No file to write into: the run must not start, like a failed check.
    if (!prepared.error().isEmpty())
      prompter_.Message(prepared.error(), record_texts::ErrorCaption(), Prompter::Icon::Exclamation,
                        Prompter::Buttons::Ok);
    recordBlocked_[d] = 1;
    if (recordCheckState_ == kCheckPassed) recordCheckState_ = kBothChanged;
    return;
  }
  records_[d] = std::move(prepared.value());
}

void ReadingSession::ReportRecordError(int d, const QString& error) {
  if (recordErrorShown_[d]) return;
  recordErrorShown_[d] = true;
  prompter_.Message(error, record_texts::ErrorCaption(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void ReadingSession::End() {
  readingActive_ = false;
  for (int d = 0; d < kReadingSessionPositions; ++d) {
    if (!records_[d]) continue;
    const RecordStatus closed = records_[d]->Close();
    if (!closed.ok()) ReportRecordError(d, closed.error);
    records_[d].reset();
  }
  int currentSlot = devices_.State().currentSlot;
  if (!plan_.multiDeviceMode) {
    // The selected line becomes the current meter again before it is cleared.
    DeviceListState& s = devices_.MutableState();
    if (s.selectedLine >= 0) s.currentSlot = s.selectedLine;
    currentSlot = s.currentSlot;
    if (!activeSlots_.empty()) activeSlots_[0] = currentSlot;
  }
  for (int s : activeSlots_) {
    if (Session* session = MeterSession(s)) {
      session->Clear();
      session->Write("*cls");
    }
  }
  slowAcBandwidth_ = false;
  if (Session* current = MeterSession(currentSlot)) current->SetTimeout(kNormalReadTimeoutMs);
}

}  // namespace merilog
