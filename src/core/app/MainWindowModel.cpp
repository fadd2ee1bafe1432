#include "core/app/MainWindowModel.h"

#include <algorithm>
#include <array>

#include "core/app/MainWindowRouting.h"
#include "core/base/Clock.h"
#include "core/base/ConfigurationCheck.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionButton.h"
#include "core/readingconfig/ReadingSettings.h"

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
  run_ = std::make_unique<ReadingRun>(*devices_, prompter_, clock_);
  chart_ = std::make_unique<ChartModel>(run_->Buffer());
  panel_ = std::make_unique<StatusPanel>(*devices_, functions_, [this] { return CurrentReadingSet(); });
  for (const CommandRoute& r : MainWindowRoutes()) available_[Index(r.command)] = r.availableAtStart;
}

MainWindowModel::~MainWindowModel() = default;

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
  devices_->Discover();
  if (devices_->HasMeters()) {
    SelectMeter(0);
    panel_->ShowFirstMeter(false);
  } else {
    panel_->ShowNoMeter(false);
  }
  chart_->SelectTrace(0);
  chart_->SetChartMapping();
  Notify();
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
  return "Trigger Interval : " + std::to_string(timerIntervalMs_) + "ms";
}

ReadingSet MainWindowModel::CurrentReadingSet() const {
  return {multiDeviceMode_, chosenSlots_};
}

void MainWindowModel::SetBusy(bool busy) {
  busy_ = busy;
  Notify();
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
      if (observer_ && observer_->OpenDialog(command)) {
        if (command == MenuCommand::DeviceSettings && devices_->HasMeters()) SelectMeter(devices_->SelectedLine());
        Notify();
      }
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
    case CommandRoute::Action::About:
      if (observer_) observer_->OpenDialog(command);
      // Relabelled once, in the language the box left current.
      texts_ = RelabelMainWindow(CurrentLanguageSection());
      Notify();
      if (!devices_->HasMeters()) RefreshDevices();
      break;
  }
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
  return plan;
}

void MainWindowModel::StartReading() {
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
  Notify();
  const ReadingRun::StartOutcome outcome = run_->Start(NextRunPlan());
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
  const bool wasRunning = run_->Locked();
  run_->Stop();
  RedrawChartNow();
  if (devices_->HasMeters()) SelectMeter(devices_->SelectedLine());
  chart_->SelectTrace(0);
  Notify();
  const QString recordFailure = wasRunning ? run_->RecordFailureText() : QString();
  if (!recordFailure.isEmpty())
    prompter_.Message(recordFailure, "Error", Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void MainWindowModel::OnReadingTimer() {
  if (!run_->Active()) return;
  const ReadingRun::TickOutcome outcome = run_->Tick();
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

void MainWindowModel::SelectMeter(int line) {
  if (!devices_->Select(line)) return;
  panel_->RefreshStatus(devices_->CurrentSlot());
  const std::string shortName = ShortDeviceName(devices_->Lines()[line]);
  if (!multiDeviceMode_) {
    panel_->SetFirstRowName(shortName);
    devices_->ShowSelectedIdentification();
  }
  panel_->AdaptToMeter(shortName, !multiDeviceMode_);
}

void MainWindowModel::RefreshDevices() {
  SetBusy(true);
  devices_->Discover();
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
  SetBusy(false);
}

void MainWindowModel::OnDeviceSelected(int line) {
  SelectMeter(line);
  Notify();
}

void MainWindowModel::CloseDevices() {
  if (run_->Locked()) StopReading();
  devices_->Close();
}

void MainWindowModel::SecondFunctionChosen(int index) {
  if (panel_->SecondFunctionChosen(index)) chart_->SelectTrace(0);
  Notify();
}

void MainWindowModel::ReadingSpeedChosen(int index) {
  if (index < 0 || index >= static_cast<int>(kSpeedItems.size())) return;
  speedSelected_ = index;
  timerIntervalMs_ = static_cast<int>(LeadingNumber(kSpeedItems[index]));
  if (run_->Active() && observer_) observer_->StartReadingTimer(timerIntervalMs_);
  Notify();
}

void MainWindowModel::ApplyDataOffset(const std::string& text) {
  bool point = false, exponent = false;
  for (char c : text) {
    if (c >= '0' && c <= '9') continue;
    QString caption;
    bool error = false;
    if (c == '.') {
      error = point;
      point = true;
      caption = ".";
    } else if (c == 'E' || c == 'e') {
      error = exponent;
      exponent = true;
      caption = ".";
    } else if (c != '-') {
      error = true;
    }
    if (error) {
      prompter_.Message("The value of \"Offset\" is error.", caption, Prompter::Icon::None, Prompter::Buttons::Ok);
      break;
    }
  }
  chart_->ApplyDataOffset(text);
  Notify();
}

void MainWindowModel::ConfigureFunction(int button) {
  const auto buttons = FunctionButtonTable();
  if (button < 0 || button >= static_cast<int>(buttons.size())) return;
  const ConfigureFunctionResult r =
      merilog::ConfigureFunction(buttons[button], devices_->CurrentSlot(), devices_->DeviceCount(), !multiDeviceMode_,
                                 devices_->Query(), functions_);
  if (!r.messageKey.empty()) Warn(r.messageKey, r.messageDefault);
  if (r.sent) {
    panel_->ResetFirstValue();
    panel_->RefreshStatus(r.statusSlot);
  }
  Notify();
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
  PlotColours colours;
  std::copy(settings.plotColour.begin(), settings.plotColour.end(), colours.begin());
  chart_->SetPlotColours(colours);
  multiDeviceMode_ = settings.MultiDevice();
  saveEnabled_ = settings.saveEnabled;
  recordNumber_ = settings.recordNumber;
  panel_->HideRowsAfterFirst();
  chosenSlots_.clear();
  if (!devices_->HasMeters()) {
    Notify();
    return;
  }
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
  Notify();
}

void MainWindowModel::OnEnter(bool dataOffsetHasFocus, const std::string& dataOffsetText) {
  if (dataOffsetHasFocus) ApplyDataOffset(dataOffsetText);
}

void MainWindowModel::OnEscape() {
  CloseDevices();
  if (observer_) observer_->CloseWindow();
}

}  // namespace merilog
