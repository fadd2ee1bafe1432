#include "core/scan/ScanModel.h"

#include "core/base/DocumentOpener.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/scan/ScanGridFiles.h"
#include "core/scan/ScanProcedures.h"

namespace merilog {

namespace {

constexpr double kShuntAtOpening = 1.0;

// The dialog's texts from the message table.
struct LabelText {
  const char* key;
  const char* english;
  QString ScanViewState::*field;
};
constexpr LabelText kLabelTexts[] = {
    {"03", "Setting Scan", &ScanViewState::title},
    {"84", "Device List", &ScanViewState::deviceListLabel},
    {"85", "Settings", &ScanViewState::settingsLabel},
    {"108", "Channel", &ScanViewState::channelLabel},
    {"86", "Function", &ScanViewState::functionLabel},
    {"109", "Timer", &ScanViewState::timerLabel},
    {"110", "Scan count", &ScanViewState::scanCountLabel},
    {"61", "Start Reading", &ScanViewState::startText},
    {"23", "Stop Reading", &ScanViewState::stopText},
    {"09", "Exit", &ScanViewState::exitText},
    {"111", "At Time", &ScanViewState::atTimeText},
    {"112", "Stop Time", &ScanViewState::stopTimeText},
    {"113", "PerScan Interval", &ScanViewState::perScanText},
    {"114", "Stop After N scans", &ScanViewState::stopAfterNText},
};

}  // namespace

ScanModel::ScanModel(ResourceManager& rm, std::vector<std::string> lanResources, Prompter& prompter, const Clock& clock,
                     ScanTimers& timers, DocumentOpener& opener)
    : prompter_(prompter),
      opener_(opener),
      devices_(rm, std::move(lanResources)),
      setup_(prompter, clock),
      run_(setup_, grid_, prompter, clock, timers) {
  run_.onChanged = [this] { Changed(); };
}

ScanModel::~ScanModel() {
  run_.onChanged = nullptr;
  Exit();
}

void ScanModel::Changed() {
  if (onChanged) onChanged();
}

bool ScanModel::ConfigEnabled() const {
  return cardReady_ && !readingCard_ && !devices_.Searching() && !run_.Active();
}

bool ScanModel::WaitingForMeter() const {
  return devices_.Searching() || readingCard_ || run_.WaitingForMeter();
}

void ScanModel::OpenScanDialog() {
  Exit();
  setup_.SetAllShunts(kShuntAtOpening);
  setup_.ResetSchedule();
  run_.ResetBookkeeping();
  devices_.Search([this] {
    if (devices_.Count() == 0) return Changed();  // nothing to configure: the controls stay disabled
    ChooseDevice(0, true);
  });
  Changed();
}

void ScanModel::ScanDeviceChosen(int line) {
  if (run_.Active() || WaitingForMeter() || line == selectedScanDevice_) return;
  ChooseDevice(line, false);
}

void ScanModel::ChooseDevice(int line, bool opening) {
  SessionWorker* worker = devices_.Worker(line);
  if (!worker) return;
  selectedScanDevice_ = line;
  run_.SetMeter(worker);
  cardReady_ = false;
  readingCard_ = true;
  Changed();
  worker->Run<CardReadBack>(
      ReadScannerCard,
      [this, opening](CardReadBack card) {
        readingCard_ = false;
        ApplyCard(card, opening);
      },
      guard_->Watch());
}

void ScanModel::ApplyCard(const CardReadBack& card, bool opening) {
  cardReady_ = card.answered && card.channelCount != 0;
  cardSilent_ = !card.answered;
  cardState_ = card.state;
  if (cardReady_) setup_.LoadCard(card.channelCount, card.functionAnswers, card.firstChannelAgain);
  if (opening) {
    setup_.SetDefaults();
    run_.ResetBookkeeping();
  }
  Changed();
  // A meter that did not answer is not taken for one without a card.
  if (!card.answered)
    prompter_.Message(LookupMessage(u"1001", "Check Device Connection"), QStringLiteral("ERROR"), Prompter::Icon::Stop,
                      Prompter::Buttons::Ok);
}

void ScanModel::Edit(const std::function<void()>& change) {
  // Every configuration control is disabled while a run goes on or no card answers.
  if (!ConfigEnabled()) return;
  change();
  Changed();
}

void ScanModel::ScanChannelChosen(int channel) {
  Edit([&] { setup_.ScanChannelChosen(channel); });
}
void ScanModel::ScanFunctionChosen(int index) {
  Edit([&] { setup_.ScanFunctionChosen(index); });
}
void ScanModel::ShuntREdited(const QString& text) {
  Edit([&] { setup_.ShuntREdited(text); });
}
void ScanModel::CurrentOffsetEdited(const QString& text) {
  Edit([&] { setup_.CurrentOffsetEdited(text); });
}
void ScanModel::TimerEdited(const QString& text) {
  Edit([&] { setup_.TimerEdited(text); });
}
void ScanModel::ScanCountEdited(const QString& text) {
  Edit([&] {
    if (setup_.ScanCountEnabled()) setup_.ScanCountEdited(text);
  });
}
void ScanModel::NEdited(const QString& text) {
  Edit([&] { setup_.NEdited(text); });
}
void ScanModel::StepN(int step) {
  Edit([&] { setup_.StepN(step); });
}
void ScanModel::ScanModeChosen(int position) {
  Edit([&] { setup_.ScanModeChosen(position); });
}
void ScanModel::AtTimeToggled(bool checked) {
  Edit([&] { setup_.AtTimeToggled(checked); });
}
void ScanModel::StopTimeToggled(bool checked) {
  Edit([&] { setup_.StopTimeToggled(checked); });
}
void ScanModel::PerScanIntervalToggled(bool checked) {
  Edit([&] {
    setup_.PerScanIntervalToggled(checked);
    if (!checked) run_.PerScanCleared();
  });
}
void ScanModel::StopAfterNToggled(bool checked) {
  Edit([&] { setup_.StopAfterNToggled(checked); });
}
void ScanModel::PickerChanged(ScanPicker picker, const QDateTime& moment) {
  Edit([&] { setup_.SetMoment(picker, moment); });
}
void ScanModel::IntervalChanged(const QTime& interval) {
  Edit([&] { setup_.SetInterval(interval); });
}

void ScanModel::StartScan() {
  Edit([&] { run_.StartScan(); });
}

void ScanModel::StopScan() {
  run_.StopScan();
}

void ScanModel::ExportToSpreadsheet() {
  if (!View().exportButton.enabled) return;
  const QString chosen = prompter_.SaveFileName(QStringLiteral("Export to Spreadsheet"), QStringLiteral("Scan.xlsx"),
                                                QStringLiteral("Spreadsheet (*.xlsx)"));
  if (chosen.isEmpty()) return;
  const QString path = SpreadsheetFileName(chosen);
  exporting_ = true;
  Changed();
  exportJobs_.Start<GridFileResult>(
      [path, cells = grid_.AllCells()](JobProgress& progress) { return WriteScanSpreadsheet(path, cells, &progress); },
      [this, path](GridFileResult result) {
        exporting_ = false;
        Changed();
        if (result.cancelled) return;
        auto warn = [this](const QString& text) {
          prompter_.Message(text, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
        };
        if (!result.written)
          warn(result.error);
        else if (!opener_.Open(path))
          warn(QStringLiteral("No application opens the spreadsheet file \"%1\".").arg(path));
      });
}

void ScanModel::Exit() {
  run_.Abort();
  guard_ = std::make_unique<CallbackGuard>();  // a card read on its way changes nothing
  readingCard_ = false;
  run_.SetMeter(nullptr);
  devices_.Close();
  cardReady_ = cardSilent_ = false;
  cardState_.clear();
  selectedScanDevice_ = -1;
  Changed();
}

ScanViewState ScanModel::View() const {
  ScanViewState v;
  for (const LabelText& label : kLabelTexts) v.*label.field = LookupMessage(label.key, label.english);
  v.exportText = QStringLiteral("Export");
  v.shuntRLabel = QStringLiteral("R");
  v.currentOffsetLabel = QStringLiteral("I");
  v.formula = QStringLiteral("DCI , ACI  =  (  Measurement  Voltage  /  R  )  +  Offset ");
  v.progressText = run_.ProgressText();
  v.statusText = run_.StatusText();

  for (int i = 0; i < devices_.Count(); ++i) v.deviceNames << QString::fromStdString(devices_.Device(i)->displayName);
  v.deviceSelected = selectedScanDevice_;
  v.channelItems = setup_.ChannelItems();
  v.channelSelected = setup_.CurrentChannel();
  v.functionItems = setup_.FunctionItems();
  v.functionSelected = setup_.FunctionSelected();
  v.modeItems = {QStringLiteral("SCAN"), QStringLiteral("STEP")};
  v.modeSelected = setup_.ScanMode();
  v.shuntRText = setup_.ShuntRText();
  v.currentOffsetText = setup_.CurrentOffsetText();
  v.timerText = setup_.TimerText();
  v.scanCountText = setup_.ScanCountText();
  v.nText = setup_.NText();
  v.atTimeChecked = setup_.AtTimeChecked();
  v.stopTimeChecked = setup_.StopTimeChecked();
  v.perScanChecked = setup_.PerScanChecked();
  v.stopAfterNChecked = setup_.StopAfterNChecked();
  v.atTime = setup_.Moment(ScanPicker::AtTime);
  v.stopTime = setup_.Moment(ScanPicker::StopTime);
  v.interval = setup_.Interval();

  const bool config = ConfigEnabled();
  v.busy = devices_.Searching() || readingCard_;
  v.deviceList.enabled = devices_.Count() > 0 && !run_.Active() && !v.busy;
  for (ControlState* c :
       {&v.settingsGroup, &v.channelChooser, &v.channelLabels, &v.timerField, &v.modeChooser, &v.startButton,
        &v.atTimeBox, &v.atTimePicker, &v.perScanBox, &v.intervalPicker, &v.stopAfterNBox, &v.nField})
    c->enabled = config;
  v.stopButton.enabled = run_.CanStop();
  v.functionChooser.enabled = config && setup_.FunctionChooserEnabled();
  v.currentFields = {setup_.CurrentFieldsShown(), config};
  v.scanCountField.enabled = config && setup_.ScanCountEnabled();
  v.stopTimeBox.enabled = v.stopTimePicker.enabled = config && setup_.StopTimeEnabled();
  v.exportButton.enabled = grid_.HasResults() && !run_.Measuring() && !exporting_;
  return v;
}

}  // namespace merilog
