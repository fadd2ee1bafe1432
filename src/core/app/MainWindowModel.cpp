#include "core/app/MainWindowModel.h"

#include <QDir>
#include <QStringList>
#include <algorithm>
#include <array>

#include "core/app/MainWindowRouting.h"
#include "core/base/Clock.h"
#include "core/base/ConfigurationCheck.h"
#include "core/base/MessageTable.h"
#include "core/base/ProgramOptions.h"
#include "core/base/Prompter.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionButton.h"
#include "core/measure/NumericText.h"
#include "core/readingconfig/ReadingSettings.h"
#include "core/records/RecordFolder.h"

namespace merilog {

namespace {

const std::vector<std::string> kSpeedItems{"25ms", "50ms", "100ms", "500ms", "1000ms", "2000ms"};
constexpr char kStartLanguage[] = "English(U.S)";

int Index(MenuCommand c) {
  return static_cast<int>(c);
}

}  // namespace

MainWindowModel::MainWindowModel(ResourceManager& rm, Prompter& prompter, const Clock& clock,
                                 std::vector<std::string> lanResources)
    : prompter_(prompter), clock_(clock) {
  devices_ = std::make_unique<DeviceListModel>(rm, std::move(lanResources));
  run_ = std::make_unique<ReadingRun>(*devices_, prompter_, clock_, sequence_);
  chart_ = std::make_unique<ChartModel>(run_->Buffer());
  panel_ = std::make_unique<StatusPanel>(*devices_, functions_, sequence_, [this] { return CurrentReadingSet(); });
  for (const CommandRoute& r : MainWindowRoutes()) available_[Index(r.command)] = r.availableAtStart;
  sequence_.onIdle = [this] { Notify(); };
  run_->onRecordFailure = [this] { StopReading(); };
  run_->onEvent = [this](int position, const QString& text) { RunEvent(position, text); };
}

MainWindowModel::~MainWindowModel() {
  sequence_.onIdle = nullptr;
  sequence_.Clear();
}

void MainWindowModel::Notify() {
  if (observer_) observer_->StateChanged();
}

void MainWindowModel::Warn(const std::string& key, const std::string& englishDefault) {
  Notify();
  prompter_.Message(LookupMessage(QString::fromStdString(key), QString::fromStdString(englishDefault)), QString(),
                    Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void MainWindowModel::Initialise() {
  CheckConfigurationFile(prompter_);
  SetCurrentLanguageSection(kStartLanguage);
  texts_ = RelabelMainWindow(kStartLanguage);
  speedSelected_ = 0;
  timerIntervalMs_ = 25;
  multiDeviceMode_ = false;
  for (const ExtraMenuText& e : kExtraMenuTexts)
    if (e.option) checked_[Index(e.command)] = ReadOption(ApplicationMessageTable(), *e.option);
  chart_->SelectTrace(0);
  chart_->SetChartMapping();
  ApplyLanSearch();
  // The window shows at once; the meters are found in the background.
  sequence_.Await([this](std::function<void()> resume) { devices_->Discover(std::move(resume)); });
  sequence_.Then([this] { AfterDiscovery(true); });
  Notify();
}

void MainWindowModel::AfterDiscovery(bool atStartUp) {
  if (atStartUp) {
    if (devices_->HasMeters()) {
      SelectMeter(0);
      panel_->ShowFirstMeter(false);
    } else {
      panel_->ShowNoMeter(false);
    }
    return;
  }
  if (devices_->HasMeters()) {
    SelectMeter(0);
    panel_->ShowFirstMeter(true);
    panel_->HideRowsAfterFirst();
    if (devices_->DeviceCount() >= 2) {
      chart_->SelectTrace(0);
      multiDeviceMode_ = false;
    }
  } else {
    panel_->ShowNoMeter(true);
  }
  panel_->ResetDisplays();
  // The status refresh lays the 2ND displays out again after they were all hidden.
  if (devices_->HasMeters()) SelectMeter(devices_->SelectedLine());
  chart_->SelectTrace(0);
}

void MainWindowModel::SetCommandAvailable(MenuCommand command, bool available) {
  available_[Index(command)] = available;
  Notify();
}

bool MainWindowModel::CommandEnabled(MenuCommand command) const {
  const CommandRoute* r = FindRoute(command);
  if (!r || !available_[Index(command)]) return false;
  return run_->Locked() ? r->enabledWhileReading : r->enabledWhileIdle;
}

bool MainWindowModel::ToolbarDeviceSettingsEnabled() const {
  return !run_->Locked() && available_[Index(MenuCommand::DeviceSettings)];
}

ControlState MainWindowModel::FunctionButton(int button) const {
  const auto table = FunctionButtonTable();
  ControlState c;
  if (button < 0 || button >= static_cast<int>(table.size())) return {false, false};
  const StatusPanelState& p = panel_->State();
  if (table[button].label == "CAP") c = p.capButton;
  if (table[button].label == "TCOUPL") c = p.tcouplButton;
  c.enabled = c.enabled && !run_->Locked();
  return c;
}

ControlState MainWindowModel::SecondChooser() const {
  ControlState c = panel_->State().secondChooser;
  c.enabled = c.enabled && !run_->Locked();
  return c;
}

const std::vector<std::string>& MainWindowModel::SpeedChoices() const {
  return kSpeedItems;
}

std::string MainWindowModel::IntervalCaption() const {
  std::string caption = "Trigger Interval : " + std::to_string(timerIntervalMs_) + "ms";
  // Ticks that found a meter still answering are counted where the user looks.
  if (run_->LateTicks() > 0) caption += " (" + std::to_string(run_->LateTicks()) + " late)";
  return caption;
}

ReadingSet MainWindowModel::CurrentReadingSet() const {
  return {multiDeviceMode_, chosenSlots_};
}

void MainWindowModel::OnCommand(MenuCommand command) {
  const CommandRoute* route = FindRoute(command);
  if (!route || !CommandEnabled(command)) return;
  if (route->guarded && devices_->ConnectionGuardRefuses(true)) {
    Warn("1031", "Connection status has changed.Please select \"Refresh\".");
    return;
  }
  switch (route->action) {
    case CommandRoute::Action::Dialog:
      sequence_.Then([this, command] {
        if (!observer_ || !observer_->OpenDialog(command)) return;
        if (command == MenuCommand::DeviceSettings && devices_->HasMeters()) SelectMeter(devices_->SelectedLine());
      });
      break;
    case CommandRoute::Action::Refresh:
      RefreshDevices();
      break;
    case CommandRoute::Action::Exit:
      if (run_->Locked()) StopReading();
      if (observer_) observer_->CloseWindow();
      break;
    case CommandRoute::Action::Start:
      StartReading();
      break;
    case CommandRoute::Action::Stop:
      StopReading();
      break;
    case CommandRoute::Action::Toggle:
      Toggle(command);
      break;
    case CommandRoute::Action::About:
      sequence_.Then([this, command] {
        if (observer_) observer_->OpenDialog(command);
        // Relabelled once, in the language the box left current.
        texts_ = RelabelMainWindow(CurrentLanguageSection());
        Notify();
        if (!devices_->HasMeters()) Refresh();
      });
      break;
  }
}

void MainWindowModel::Toggle(MenuCommand command) {
  const ExtraMenuText* item = FindExtraMenuText(command);
  if (!item || !item->option) return;
  bool& on = checked_[Index(command)];
  on = !on;
  // Kept for the next start of the program; a file that cannot be written keeps it for this one.
  WriteOption(ApplicationMessageTable(), *item->option, on);
  if (command != MenuCommand::SearchLan) return Notify();
  ApplyLanSearch();
  Notify();
  // Turned on, it searches at once: the user asked to find the meters on the LAN.
  if (on) RefreshDevices();
}

void MainWindowModel::ApplyLanSearch() {
  devices_->SetLanSearch(CommandChecked(MenuCommand::SearchLan) ? std::optional(lanSearchOptions_) : std::nullopt);
}

void MainWindowModel::OnSystemAbout() {
  if (observer_) observer_->OpenDialog(MenuCommand::About);
}

ReadingPlan MainWindowModel::NextRunPlan() const {
  ReadingPlan plan;
  plan.multiDeviceMode = multiDeviceMode_;
  plan.currentSlot = devices_->CurrentSlot();
  plan.positionSlots = multiDeviceMode_ ? chosenSlots_ : std::vector<int>{plan.currentSlot};
  plan.saveEnabled = saveEnabled_;
  plan.recordNumber = recordNumber_;
  plan.keepGoing = KeepReading();
  unattended_.ApplyTo(plan);
  return plan;
}

void MainWindowModel::StartReading() {
  sequence_.Then([this] { Start(); });
}

void MainWindowModel::Start() {
  if (!devices_->HasMeters()) {
    Warn("1000", "No Device Connected");
    return;
  }
  // Refused before anything is locked, so the front panel stays as it was.
  if (devices_->ConnectionGuardRefuses(true)) {
    Warn("1031", "Connection status has changed.Please select \"Refresh\".");
    return;
  }
  run_->Buffer().Reset();
  if (!multiDeviceMode_ && devices_->CurrentSlot() == kNoDeviceSlot) {
    Warn("1002", "Select Device");
    return;
  }
  // Locked before the meters are asked: while a message or question shows,
  // only Stop is usable.
  run_->Lock();
  statusLine_.clear();
  Notify();
  run_->Start(NextRunPlan(), [this](ReadingRun::StartOutcome outcome) { Started(outcome); });
}

void MainWindowModel::Started(ReadingRun::StartOutcome outcome) {
  if (outcome == ReadingRun::StartOutcome::Running) {
    RedrawChartNow();
    if (observer_) observer_->StartReadingTimer(timerIntervalMs_);
    run_->Buffer().SetPointCount(0);
    chart_->SetChartMapping();
    Notify();
    return;
  }
  StopReading();
  if (outcome == ReadingRun::StartOutcome::MeterFailed)
    prompter_.Message(LookupMessage(u"1001", "Check Device Connection"), "ERROR", Prompter::Icon::Stop,
                      Prompter::Buttons::Ok);
}

void MainWindowModel::StopReading() {
  if (observer_) observer_->StopReadingTimer();
  const bool wasLocked = run_->Locked();
  const bool wasRunning = run_->Active();
  // A start still asking its meters is abandoned; Stop never waits for one.
  if (run_->CurrentPhase() == ReadingRun::Phase::Starting) sequence_.Clear();
  run_->Stop();
  RedrawChartNow();
  if (devices_->HasMeters()) SelectMeter(devices_->SelectedLine());
  chart_->SelectTrace(0);
  if (wasRunning) {
    const QString end = RunEndText();
    if (!end.isEmpty()) statusLine_ = end;
  }
  Notify();
  const QString recordFailure = wasLocked ? run_->RecordFailureText() : QString();
  if (!recordFailure.isEmpty())
    prompter_.Message(recordFailure, "Error", Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void MainWindowModel::OnReadingTimer() {
  if (!run_->Active()) return;
  // A tick still waiting for a meter is not started twice; the run counts it.
  if (!run_->Tick([this](ReadingRun::TickOutcome outcome) { Ticked(outcome); })) Notify();
}

void MainWindowModel::Ticked(ReadingRun::TickOutcome outcome) {
  for (int d = 0; d < run_->ActiveCount(); ++d)
    panel_->ShowReading(d, run_->Texts(d).mainText, run_->Texts(d).secondText);
  switch (outcome) {
    case ReadingRun::TickOutcome::ReadFailed:
      StopReading();
      prompter_.Message(LookupMessage(u"1001", "Check Device Connection"), "ERROR", Prompter::Icon::Stop,
                        Prompter::Buttons::Ok);
      return;
    case ReadingRun::TickOutcome::RecordFailed:
      StopReading();  // says what was lost
      return;
    case ReadingRun::TickOutcome::TimeUp:
      StopReading();  // every reading taken is committed; the status line says how the run ended
      statusLine_ = QStringLiteral("Stopped at the planned time, %1. %2")
                        .arg(clock_.Now().toString(QLatin1String(kStopTimeFormat)), statusLine_)
                        .trimmed();
      Notify();
      return;
    case ReadingRun::TickOutcome::Redraw:
      RedrawChartNow();
      break;
    case ReadingRun::TickOutcome::Done:
      break;
  }
  Notify();
}

void MainWindowModel::RedrawChartNow() {
  ChartDrawInputs in;
  in.multiDeviceMode = multiDeviceMode_;
  in.meterCount = multiDeviceMode_ ? std::clamp(static_cast<int>(chosenSlots_.size()), 1, kMeterPositions) : 1;
  const StatusPanelState& p = panel_->State();
  in.secondActive = p.secondActive;
  for (int d = 0; d < kMeterPositions; ++d) in.hasSecond[d] = p.meters[d].hasSecond;
  chart_->RedrawChart(in);
  if (observer_) observer_->RedrawChart();
}

void MainWindowModel::RunEvent(int position, const QString& text) {
  statusLine_ = clock_.Now().toString(QStringLiteral("HH:mm:ss")) + QLatin1Char(' ') + MeterName(position) +
                QStringLiteral(": ") + text;
  Notify();
}

QString MainWindowModel::MeterName(int position) const {
  const int slot = position < run_->ActiveCount() ? run_->Slot(position) : kNoDeviceSlot;
  const DeviceEntry* entry = devices_->Entry(slot);
  return entry ? QString::fromStdString(entry->displayName) : QStringLiteral("Meter %1").arg(position + 1);
}

QString MainWindowModel::RunEndText() const {
  QStringList parts;
  for (int d = 0; d < run_->ActiveCount(); ++d) {
    const QString summary = run_->EndSummary(d);
    if (!summary.isEmpty()) parts << MeterName(d) + QStringLiteral(": ") + summary;
  }
  return parts.join(QStringLiteral(" | "));
}

MainWindowModel::MeterAlert MainWindowModel::Alert(int position) const {
  MeterAlert a;
  if (position < 0 || position >= run_->ActiveCount()) return a;
  a.outside = run_->Active() && run_->LimitState(position).Outside();
  if (run_->Active() && run_->Lost(position)) {
    a.lost = true;
    a.lostText = LookupMessage(u"1109", QStringLiteral("Lost since")) + QLatin1Char(' ') +
                 run_->Loss(position).Since().toString(QStringLiteral("HH:mm:ss"));
  }
  return a;
}

bool MainWindowModel::CommandChecked(MenuCommand command) const {
  return checked_[Index(command)];
}

QString MainWindowModel::StatusLine() const {
  // The run's latest event first; the lab server's backlog after it while there is one.
  const QString backlog = labServer_ ? labServer_->StatusLine() : QString();
  if (backlog.isEmpty()) return statusLine_;
  if (statusLine_.isEmpty()) return backlog;
  return statusLine_ + QStringLiteral("   ") + backlog;
}

void MainWindowModel::ApplyUnattendedRun(const UnattendedRun& settings) {
  unattended_ = settings;
  Notify();
}

void MainWindowModel::SelectMeter(int line) {
  if (!devices_->Select(line)) return;
  panel_->RefreshStatus(devices_->CurrentSlot());
  sequence_.Then([this, line] {
    const std::string shortName = ShortDeviceName(devices_->Lines()[line]);
    if (!multiDeviceMode_) {
      panel_->SetFirstRowName(shortName);
      devices_->ShowSelectedIdentification();
    }
    panel_->AdaptToMeter(shortName, !multiDeviceMode_);
  });
}

void MainWindowModel::RefreshDevices() {
  sequence_.Then([this] { Refresh(); });
}

void MainWindowModel::Refresh() {
  sequence_.Await([this](std::function<void()> resume) {
    devices_->Discover(std::move(resume));
    Notify();  // the list empties and the wait cursor shows while the meters are asked
  });
  sequence_.Then([this] { AfterDiscovery(false); });
}

void MainWindowModel::OnDeviceSelected(int line) {
  sequence_.Then([this, line] { SelectMeter(line); });
}

void MainWindowModel::CloseDevices() {
  if (run_->Locked()) StopReading();
  sequence_.Clear();
  devices_->Close();
}

void MainWindowModel::SecondFunctionChosen(int index) {
  panel_->SecondFunctionChosen(index, [this] { chart_->SelectTrace(0); });
}

void MainWindowModel::ReadingSpeedChosen(int index) {
  if (index < 0 || index >= static_cast<int>(kSpeedItems.size())) return;
  speedSelected_ = index;
  timerIntervalMs_ = static_cast<int>(LeadingNumber(kSpeedItems[index]));
  if (run_->Active() && observer_) observer_->StartReadingTimer(timerIntervalMs_);
  Notify();
}

void MainWindowModel::ApplyDataOffset(const std::string& text) {
  // A repeated point or exponent letter is captioned ".", any other wrong character not at all.
  const NumericTextVerdict verdict = CheckNumericText(text);
  if (verdict != NumericTextVerdict::Valid)
    prompter_.Message("The value of \"Offset\" is error.",
                      verdict == NumericTextVerdict::Repeated ? QStringLiteral(".") : QString(), Prompter::Icon::None,
                      Prompter::Buttons::Ok);
  chart_->ApplyDataOffset(text);
  Notify();
}

void MainWindowModel::ConfigureFunction(int button) {
  const auto buttons = FunctionButtonTable();
  if (button < 0 || button >= static_cast<int>(buttons.size())) return;
  sequence_.Then([this, button] {
    const ConfigureFunctionResult r = merilog::ConfigureFunction(
        FunctionButtonTable()[button], devices_->CurrentSlot(), devices_->DeviceCount(), !multiDeviceMode_, functions_);
    if (!r.messageKey.empty()) Warn(r.messageKey, r.messageDefault);
    if (!r.sent) return;
    sequence_.Ask<QueryAnswer>(
        devices_->Worker(r.statusSlot),
        [command = r.command](Session* s) { return QueryDevice(s, QueryForm::MainWindow, command); },
        [](QueryAnswer) {});
    panel_->ResetFirstValue();
    panel_->RefreshStatus(r.statusSlot);
  });
}

void MainWindowModel::SetXMax(int index) {
  const auto items = XMaxItems();
  if (index < 0 || index >= static_cast<int>(items.size())) return;
  chart_->SetXMax(items[index]);
  Notify();
}

void MainWindowModel::ScaleUp() {
  chart_->ScaleUp();
  Notify();
}

void MainWindowModel::ScaleDown() {
  chart_->ScaleDown();
  Notify();
}

void MainWindowModel::ShiftUp() {
  chart_->ShiftUp();
  Notify();
}

void MainWindowModel::ShiftDown() {
  chart_->ShiftDown();
  Notify();
}

void MainWindowModel::SelectTrace(int trace) {
  chart_->SelectTrace(trace);
  Notify();
}

void MainWindowModel::SetDataOffsetText(const std::string& text) {
  chart_->SetDataOffsetText(text);
}

void MainWindowModel::ApplyReadingSettings(const ReadingSettings& settings) {
  sequence_.Then([this, settings] { ApplySettings(settings); });
}

void MainWindowModel::ApplySettings(const ReadingSettings& settings) {
  PlotColours colours;
  std::copy(settings.plotColour.begin(), settings.plotColour.end(), colours.begin());
  chart_->SetPlotColours(colours);
  multiDeviceMode_ = settings.MultiDevice();
  saveEnabled_ = settings.saveEnabled;
  recordNumber_ = settings.recordNumber;
  panel_->HideRowsAfterFirst();
  chosenSlots_.clear();
  if (!devices_->HasMeters()) return;
  // Only meters of the latest discovery take part; a stale choice (fewer meters
  // found since) would address a session that no longer exists.
  const int chosen = std::min<int>(settings.chosenCount, static_cast<int>(settings.chosenDevice.size()));
  for (int k = 0; k < chosen && static_cast<int>(chosenSlots_.size()) < kMeterPositions; ++k) {
    const ChosenDevice& c = settings.chosenDevice[k];
    if (c.slot >= 0 && c.slot < devices_->DeviceCount()) chosenSlots_.push_back(c.slot);
  }
  if (multiDeviceMode_ && chosenSlots_.size() > 1) {
    for (size_t d = 0; d < chosenSlots_.size(); ++d) {
      panel_->ShowRow(static_cast<int>(d), ShortDeviceName(devices_->Lines()[chosenSlots_[d]]));
      panel_->RefreshStatus(chosenSlots_[d]);
    }
    SelectMeter(devices_->SelectedLine());
  }
  if (!multiDeviceMode_) {
    // The selected trace follows the current meter, then goes back to the first.
    chart_->SelectTrace(devices_->CurrentSlot());
    chart_->SelectTrace(0);
  }
  panel_->RefreshStatus(devices_->CurrentSlot());
  panel_->LayoutDisplays();
  SelectMeter(devices_->SelectedLine());
}

void MainWindowModel::OnEnter(bool dataOffsetHasFocus, const std::string& dataOffsetText) {
  if (dataOffsetHasFocus) ApplyDataOffset(dataOffsetText);
}

void MainWindowModel::OnEscape() {
  CloseDevices();
  if (observer_) observer_->CloseWindow();
}

void MainWindowModel::UseLabServer(const LabServerSettings& settings, LabForwardPolicy policy) {
  labServer_.reset();
  if (!settings.Enabled()) return;
  const QString folder = QDir(DeriveRecordFolder(QDir::currentPath())).absolutePath();
  labServer_ = std::make_unique<LabServerMonitor>(
      settings, folder, prompter_, [this] { Notify(); }, std::move(policy));
}

}  // namespace merilog
