#include "core/burst/MultipleReadingsModel.h"

#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/instrument/SessionWorker.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

// Input errors of a number field come in a plain box under the program's name.
const QString kInputCaption = QStringLiteral("MERILOG");

}  // namespace

MultipleReadingsModel::MultipleReadingsModel(Prompter& prompter, const Clock& clock, FolderFinder findFolder,
                                             AppendPolicy policy)
    : prompter_(prompter), clock_(clock), findFolder_(std::move(findFolder)), policy_(policy) {
  if (!findFolder_) findFolder_ = [](Prompter& p) { return FindRecordFolder(p, RecordFolderCaller::MultipleReadings); };
  view_.numberText = QString::number(number_);
  view_.stopButton.enabled = false;
}

MultipleReadingsModel::~MultipleReadingsModel() {
  // A burst left running on its meter's thread ends at its next reading.
  if (stop_) stop_->store(true);
}

void MultipleReadingsModel::HandOverDevices(const DeviceHandOver& handOver) {
  devices_ = handOver;
}

void MultipleReadingsModel::SetTexts() {
  view_.title = LookupMessage("21", "Multiple Readings");
  view_.numberCaption = LookupMessage("170", "Number of Readings");
  view_.recordCaption = LookupMessage("130", "Record List");
  view_.startText = LookupMessage("22", "Start Reading");
  view_.stopText = LookupMessage("23", "Stop Reading");
  view_.exitText = LookupMessage("95", "Exit");
}

void MultipleReadingsModel::Changed() {
  if (onChanged) onChanged();
}

void MultipleReadingsModel::Warn(const QString& text) {
  prompter_.Message(text, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void MultipleReadingsModel::Opening() {
  // A burst stopped before the last closing may still be finishing its reading;
  // its result belongs to nothing shown now.
  ++burst_;
  awaiting_ = false;
  SetTexts();
  view_.deviceLines.clear();
  for (const HandedDevice& d : devices_.devices) view_.deviceLines << QString::fromStdString(d.displayName);
  const bool meters = !view_.deviceLines.isEmpty();
  if (!meters) view_.deviceLines << LookupMessage("1000", "No Device Connected");
  view_.selectedDevice = 0;
  view_.numberField.enabled = meters;
  view_.recordChoice.enabled = meters;
  view_.stopButton.enabled = false;
  view_.exitButton.enabled = true;
  view_.numberText = QString::number(number_);
  view_.progressShown = false;
  view_.recordEntries.clear();
  view_.selectedRecord = -1;
  entries_.clear();
  folder_ = findFolder_(prompter_);
  if (folder_) ListRecordsThenSelect(0);
  UpdateStart();
}

void MultipleReadingsModel::UpdateStart() {
  // Start waits for the record choice to be listed, so it never meets a list
  // that is only being read.
  view_.startButton.enabled = !devices_.devices.empty() && !running_ && !listing_;
}

void MultipleReadingsModel::ListRecordsThenSelect(int select) {
  listing_ = true;
  const QString folder = *folder_;
  jobs_.Start<RecordList>([folder](JobProgress&) { return ListRecords(RecordListKind::MultipleReadings, folder); },
                          [this, select](RecordList list) {
                            listing_ = false;
                            FillRecordChoice(list, select);
                            UpdateStart();
                            Changed();
                          });
}

void MultipleReadingsModel::FillRecordChoice(const RecordList& list, int select) {
  entries_ = list.entries;
  view_.recordEntries.clear();
  for (const RecordListEntry& e : entries_) view_.recordEntries << e.label;
  view_.selectedRecord = select >= 0 && select < static_cast<int>(entries_.size()) ? select : -1;
}

void MultipleReadingsModel::DeviceSelected(int line) {
  if (line >= 0 && line < static_cast<int>(devices_.devices.size())) view_.selectedDevice = line;
}

MultipleReadingsModel::NumberCheck MultipleReadingsModel::ParseNumber(const QString& text, int* value) {
  bool ok = false;
  const qlonglong n = text.trimmed().toLongLong(&ok);
  if (!ok) return NumberCheck::NotInteger;
  if (n < kMinReadings || n > kMaxReadings) return NumberCheck::OutOfRange;
  *value = static_cast<int>(n);
  return NumberCheck::Taken;
}

void MultipleReadingsModel::NumberMessage(NumberCheck check) {
  const QString text =
      check == NumberCheck::NotInteger
          ? QStringLiteral("Please enter an integer.")
          : QStringLiteral("Please enter an integer between %1 and %2.").arg(kMinReadings).arg(kMaxReadings);
  prompter_.Message(text, kInputCaption, Prompter::Icon::None, Prompter::Buttons::Ok);
}

bool MultipleReadingsModel::NumberEdited(const QString& text) {
  view_.numberText = text;
  if (text.trimmed().isEmpty()) return false;
  int n = 0;
  const NumberCheck check = ParseNumber(text, &n);
  if (check == NumberCheck::Taken) {
    number_ = n;
    view_.numberText = QString::number(n);
    return true;
  }
  NumberMessage(check);
  view_.numberText = QString::number(number_);
  return false;
}

void MultipleReadingsModel::RecordChosen(int entry) {
  if (entry >= 0 && entry < static_cast<int>(entries_.size())) view_.selectedRecord = entry;
}

void MultipleReadingsModel::Start() {
  if (running_ || !view_.startButton.enabled) return;
  view_.recordChoice.enabled = false;
  if (view_.selectedRecord < 0) {
    Warn(LookupMessage("1013", "Please select a record."));
    view_.selectedRecord = entries_.empty() ? -1 : 0;
    view_.recordChoice.enabled = true;
    return;
  }
  int count = 0;
  if (const NumberCheck check = ParseNumber(view_.numberText, &count); check != NumberCheck::Taken) {
    NumberMessage(check);
    view_.recordChoice.enabled = true;
    return;
  }
  number_ = count;
  view_.numberText = QString::number(count);

  running_ = true;
  view_.startButton.enabled = false;
  view_.exitButton.enabled = false;
  view_.stopButton.enabled = true;
  const RecordListEntry& entry = entries_[static_cast<size_t>(view_.selectedRecord)];
  const int number = entry.number;
  BurstRequest request;
  request.folder = *folder_;
  request.number = number;
  request.datedDBfileEntry = entry.kindFlag() == 1;
  request.count = count;
  request.clock = &clock_;
  request.policy = policy_;

  const int burst = ++burst_;
  stop_ = std::make_shared<std::atomic<bool>>(false);
  progressBefore_ = Progress{view_.progressShown, view_.done, view_.total, view_.perSecond, view_.progressText};
  view_.progressShown = true;
  view_.total = count;
  ShowProgress(0, 0);

  SessionWorker* worker = devices_.devices[static_cast<size_t>(view_.selectedDevice)].worker;
  if (!worker) {
    BurstResult noMeter;
    noMeter.end = BurstEnd::MeterFailed;
    Finish(std::move(noMeter), number);
    return;
  }
  awaiting_ = true;
  auto alive = guard_->Watch();
  auto courier = worker->Courier();
  worker->Run<BurstResult>(
      [request, stop = stop_, courier, alive, burst, this](Session* session) {
        BurstControl control;
        control.stop = stop.get();
        // Runs on the UI thread, and only while the model lives.
        control.progress = [courier, alive, burst, this](long long done, double seconds) {
          courier([alive, burst, done, seconds, this] {
            if (!alive.expired() && burst == burst_) ShowProgress(done, seconds);
          });
        };
        return RunBurst(session, request, control);
      },
      [this, number, burst](BurstResult result) {
        // A burst stopped and followed by a newer one only leaves its rows.
        if (burst != burst_) return;
        awaiting_ = false;
        Finish(std::move(result), number);
      },
      alive);
}

QString BurstRateText(double perSecond) {
  // A slow meter's rate would round to 0: below 10 a second it keeps one decimal.
  if (perSecond < 9.95) return QString::number(perSecond, 'f', 1);
  return QString::number(qRound64(perSecond));
}

void MultipleReadingsModel::ShowProgress(long long done, double seconds) {
  view_.done = done;
  view_.perSecond = seconds > 0 ? static_cast<double>(done) / seconds : 0;
  view_.progressText = LookupMessage("171", "%1 of %2 readings, %3 per second")
                           .arg(done)
                           .arg(view_.total)
                           .arg(BurstRateText(view_.perSecond));
  Changed();
}

void MultipleReadingsModel::RestoreProgress() {
  // A refused start took no reading: the progress of the last burst stays.
  view_.progressShown = progressBefore_.shown;
  view_.done = progressBefore_.done;
  view_.total = progressBefore_.total;
  view_.perSecond = progressBefore_.perSecond;
  view_.progressText = progressBefore_.text;
}

void MultipleReadingsModel::EndLikeStop() {
  running_ = false;
  view_.stopButton.enabled = false;
  view_.exitButton.enabled = true;
  view_.recordChoice.enabled = true;
  UpdateStart();
}

void MultipleReadingsModel::Stop() {
  if (!running_) return;
  stop_->store(true);
  EndLikeStop();
}

void MultipleReadingsModel::Finish(BurstResult result, int number) {
  lastResult_ = result;
  if (result.readings > 0 || result.refilled) ShowProgress(result.readings, result.seconds);
  switch (result.end) {
    case BurstEnd::FunctionChanged:
      RestoreProgress();
      EndLikeStop();
      Changed();
      Warn(result.message);
      break;
    case BurstEnd::HasReadings:
      RestoreProgress();
      Warn(result.message);
      EndLikeStop();
      break;
    case BurstEnd::MeterFailed:
    case BurstEnd::RecordFailed:
      EndLikeStop();
      if (result.refilled) FillRecordChoice(result.list, number - 1);
      Changed();
      if (result.end == BurstEnd::MeterFailed)
        prompter_.Message(LookupMessage("1001", "Check Device Connection"), QStringLiteral("ERROR"),
                          Prompter::Icon::Stop, Prompter::Buttons::Ok);
      else
        prompter_.Message(result.message, record_texts::ErrorCaption(), Prompter::Icon::Exclamation,
                          Prompter::Buttons::Ok);
      break;
    case BurstEnd::Completed:
    case BurstEnd::Stopped:
      EndLikeStop();
      // The record just written is chosen again.
      FillRecordChoice(result.list, number - 1);
      break;
  }
  Changed();
}

}  // namespace merilog
