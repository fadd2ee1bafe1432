#include "core/scan/ScanModel.h"

#include "core/base/DocumentOpener.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/scan/ScanGridFiles.h"
#include "core/scan/ScanProcedures.h"

namespace merilog {

namespace {

constexpr double kShuntAtOpening = 1.0;

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
  if (run_.Active() || WaitingForMeter() || line == deviceSelected_) return;
  ChooseDevice(line, false);
}

void ScanModel::ChooseDevice(int line, bool opening) {
  SessionWorker* worker = devices_.Worker(line);
  if (!worker) return;
  deviceSelected_ = line;
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

void ScanModel::ScanChannelChosen(int channel) {
  if (!ConfigEnabled()) return;
  setup_.ScanChannelChosen(channel);
  Changed();
}

void ScanModel::ScanFunctionChosen(int index) {
  if (!ConfigEnabled()) return;
  setup_.ScanFunctionChosen(index);
  Changed();
}

void ScanModel::ShuntREdited(const QString& text) {
  if (!ConfigEnabled()) return;
  setup_.ShuntREdited(text);
  Changed();
}

void ScanModel::CurrentOffsetEdited(const QString& text) {
  if (!ConfigEnabled()) return;
  setup_.CurrentOffsetEdited(text);
  Changed();
}

void ScanModel::TimerEdited(const QString& text) {
  if (!ConfigEnabled()) return;
  setup_.TimerEdited(text);
  Changed();
}

void ScanModel::ScanCountEdited(const QString& text) {
  if (!ConfigEnabled() || !setup_.ScanCountEnabled()) return;
  setup_.ScanCountEdited(text);
  Changed();
}

void ScanModel::NEdited(const QString& text) {
  if (!ConfigEnabled()) return;
  setup_.NEdited(text);
  Changed();
}

void ScanModel::StepN(int step) {
  if (!ConfigEnabled()) return;
  setup_.StepN(step);
  Changed();
}

void ScanModel::ScanModeChosen(int position) {
  if (!ConfigEnabled()) return;
  setup_.ScanModeChosen(position);
  Changed();
}

void ScanModel::AtTimeToggled(bool checked) {
  if (!ConfigEnabled()) return;
  setup_.AtTimeToggled(checked);
  Changed();
}

void ScanModel::StopTimeToggled(bool checked) {
  if (!ConfigEnabled()) return;
  setup_.StopTimeToggled(checked);
  Changed();
}

void ScanModel::PerScanIntervalToggled(bool checked) {
  if (!ConfigEnabled()) return;
  setup_.PerScanIntervalToggled(checked);
  if (!checked) run_.PerScanCleared();
  Changed();
}

void ScanModel::StopAfterNToggled(bool checked) {
  if (!ConfigEnabled()) return;
  setup_.StopAfterNToggled(checked);
  Changed();
}

void ScanModel::PickerChanged(ScanPicker picker, const QDateTime& moment) {
  if (!ConfigEnabled()) return;
  setup_.SetMoment(picker, moment);
  Changed();
}

void ScanModel::IntervalChanged(const QTime& interval) {
  if (!ConfigEnabled()) return;
  setup_.SetInterval(interval);
  Changed();
}

void ScanModel::StartScan() {
  if (!ConfigEnabled()) return;
  run_.StartScan();
  Changed();
}

void ScanModel::ExportToSpreadsheet() {
  if (!View().exportButton.enabled) return;
  QString path = prompter_.SaveFileName(QStringLiteral("Export to Spreadsheet"), QStringLiteral("Scan.xlsx"),
                                        QStringLiteral("Spreadsheet (*.xlsx)"));
  if (path.isEmpty()) return;
  if (!path.endsWith(QStringLiteral(".xlsx"), Qt::CaseInsensitive)) path += QStringLiteral(".xlsx");
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
          warn(QStringLiteral("The spreadsheet file \"%1\" cannot be written: %2").arg(path, result.error));
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
  cardReady_ = false;
  deviceSelected_ = -1;
  Changed();
}

ScanViewState ScanModel::View() const {
  ScanViewState v;
  v.title = LookupMessage("03", "Setting Scan");
  v.deviceListLabel = LookupMessage("84", "Device List");
  v.settingsLabel = LookupMessage("85", "Settings");
  v.channelLabel = LookupMessage("108", "Channel");
  v.functionLabel = LookupMessage("86", "Function");
  v.timerLabel = LookupMessage("109", "Timer");
  v.scanCountLabel = LookupMessage("110", "Scan count");
  v.startText = LookupMessage("61", "Start Reading");
  v.exitText = LookupMessage("09", "Exit");
  v.atTimeText = LookupMessage("111", "At Time");
  v.stopTimeText = LookupMessage("112", "Stop Time");
  v.perScanText = LookupMessage("113", "PerScan Interval");
  v.stopAfterNText = LookupMessage("114", "Stop After N scans");
  v.exportText = QStringLiteral("Export");
  v.shuntRLabel = QStringLiteral("R");
  v.currentOffsetLabel = QStringLiteral("I");
  v.formula = QStringLiteral("DCI , ACI  =  (  Measurement  Voltage  /  R  )  +  Offset ");
  v.progressText = run_.ProgressText();

  for (int i = 0; i < devices_.Count(); ++i) v.deviceNames << QString::fromStdString(devices_.Device(i)->displayName);
  v.deviceSelected = deviceSelected_;
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
  v.functionChooser.enabled = config && setup_.FunctionChooserEnabled();
  v.currentFields = {setup_.CurrentFieldsShown(), config};
  v.scanCountField.enabled = config && setup_.ScanCountEnabled();
  v.stopTimeBox.enabled = v.stopTimePicker.enabled = config && setup_.StopTimeEnabled();
  v.exportButton.enabled = grid_.HasResults() && !run_.Measuring() && !exporting_;
  return v;
}

}  // namespace merilog
