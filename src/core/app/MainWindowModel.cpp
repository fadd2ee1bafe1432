#include "core/app/MainWindowModel.h"

#include <array>

#include "core/base/Clock.h"
#include "core/base/ConfigurationCheck.h"
#include "core/app/MainWindowRouting.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/measure/AcquisitionCycle.h"
#include "core/measure/ChartModel.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionButton.h"
#include "core/measure/ReadingSession.h"
#include "core/measure/StatusPanel.h"
#include "core/readingconfig/ApplyReadingSettings.h"
#include "core/readingconfig/ReadingSettings.h"

namespace merilog {

namespace {

constexpr std::array<const char*, 6> kSpeedItems{"25ms", "50ms", "100ms", "500ms", "1000ms", "2000ms"};
constexpr char kStartLanguage[] = "English(U.S)";

std::string IntervalCaption(int ms) { return "Trigger Interval : " + std::to_string(ms) + "ms"; }

int Index(MenuCommand c) { return static_cast<int>(c); }

}  // namespace

MainWindowModel::MainWindowModel(ResourceManager& rm, Prompter& prompter, const Clock& clock,
                                 std::vector<std::string> lanResources)
    : rm_(rm), prompter_(prompter), clock_(clock) {
  DeviceListHooks hooks;
  hooks.refreshStatus = [this](int slot) { panel_->RefreshStatus(slot); };
  hooks.clearStatusTexts = [this] {
    state_.functionText.clear();
    state_.rangeText.clear();
  };
  hooks.resetToFirstMeter = [this] {
    state_.multiDeviceMode = false;
    chart_->SelectTrace(0);
  };
  hooks.resetTraceSelection = [this] { ResetTraceSelection(); };
  hooks.devicesHandedOver = [this](const DeviceTable& devices) {
    settings_->deviceCount = static_cast<int>(devices.size());
  };
  devices_ = std::make_unique<DeviceListModel>(rm_, std::move(lanResources), std::move(hooks));
  chart_ = std::make_unique<ChartModel>();
  settings_ = std::make_unique<ReadingSettings>();
  session_ = std::make_unique<ReadingSession>(*devices_, prompter_, clock_);
  panel_ = std::make_unique<StatusPanel>(state_, *devices_, functionState_);
  panel_->resetTraceSelection = [this] { ResetTraceSelection(); };
  cycle_ = std::make_unique<AcquisitionCycle>(state_, *devices_, *session_, *chart_, clock_);

  for (const char* item : kSpeedItems) state_.speedChoices.emplace_back(item);
  for (const char* item : XMaxItems()) state_.xMaxChoices.emplace_back(item);
  state_.meterTexts[0].mainTagText = "MAIN";
  panel_->FillInitialSecondSelector();
  for (const CommandRoute& r : MainWindowRoutes()) state_.menu[Index(r.command)].available = r.availableAtStart;
  UpdateCommandStates();
}

MainWindowModel::~MainWindowModel() {
  // A window closed mid-run still commits every reading it took.
  if (session_ && session_->ReadingActive()) session_->End();
}

void MainWindowModel::Notify() {
  state_.secondChooserEnabled = devices_->State().secondChooser.enabled;
  state_.selectedTrace = chart_->SelectedTrace();
  state_.yScaleText = chart_->YScaleText();
  state_.dataOffsetText = chart_->DataOffsetText();
  state_.xMaxCaption = chart_->XMaxLabelText();
  state_.xMaxSelected = chart_->XMaxItemIndex();
  state_.readingActive = session_->ReadingActive();
  if (observer_) observer_->StateChanged();
}

void MainWindowModel::Warn(const std::string& key, const std::string& englishDefault) {
  prompter_.Message(LookupMessage(QString::fromStdString(key), QString::fromStdString(englishDefault)), QString(),
                    Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void MainWindowModel::Initialise() {
  CheckConfigurationFile(prompter_);
  state_.toolbarStopEnabled = false;
  SetCurrentLanguageSection(kStartLanguage);
  state_.texts = RelabelMainWindow(kStartLanguage);
  state_.speedSelected = 0;
  state_.timerIntervalMs = 25;
  state_.intervalCaption = IntervalCaption(25);
  devices_->MutableState().meters[0].secondIndicator.shown = false;
  state_.secondActive = false;
  devices_->InitialiseDevices();
  state_.multiDeviceMode = false;
  devices_->SetSingleDeviceMode(true);
  panel_->SetReadingSet(false, {});
  chart_->SelectTrace(0);
  chart_->SetChartMapping();
  settings_->deviceCount = devices_->DeviceCount();
  UpdateCommandStates();
  Notify();
}

void MainWindowModel::SetCommandAvailable(MenuCommand command, bool available) {
  state_.menu[Index(command)].available = available;
  UpdateCommandStates();
  Notify();
}

void MainWindowModel::UpdateCommandStates() {
  const bool reading = session_->ReadingActive();
  for (const CommandRoute& r : MainWindowRoutes()) {
    CommandState& c = state_.menu[Index(r.command)];
    c.enabled = c.available && (reading ? r.enabledWhileReading : r.enabledWhileIdle);
  }
  state_.toolbarStartEnabled = !reading;
  state_.toolbarStopEnabled = reading;
  state_.toolbarDeviceSettingsEnabled = !reading && state_.menu[Index(MenuCommand::DeviceSettings)].available;
}

void MainWindowModel::OnCommand(MenuCommand command) {
  const CommandRoute* route = FindRoute(command);
  if (!route || !state_.menu[Index(command)].enabled) return;
  if (route->guarded && devices_->ConnectionGuardRefuses(true)) {
    Warn("1031", "Connection status has changed.Please select \"Refresh\".");
    return;
  }
  switch (route->action) {
    case CommandRoute::Action::Dialog:
      if (observer_ && observer_->OpenDialog(command)) AfterDialog(command);
      break;
    case CommandRoute::Action::Refresh:
      RefreshDevices();
      break;
    case CommandRoute::Action::Exit:
      if (session_->ReadingActive()) StopReading();
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
      state_.texts = RelabelMainWindow(CurrentLanguageSection());
      if (devices_->DeviceCount() == 0) RefreshDevices();
      Notify();
      break;
  }
}

void MainWindowModel::AfterDialog(MenuCommand command) {
  if (command == MenuCommand::DeviceSettings && devices_->DeviceCount() > 0) OnDeviceSelected(devices_->State().selectedLine);
  if (command == MenuCommand::ReadingSettings) ApplyReadingSettings(*settings_);
  Notify();
}

void MainWindowModel::OnSystemAbout() {
  if (observer_) observer_->OpenDialog(MenuCommand::About);
}

void MainWindowModel::SetFrontPanelEnabled(bool enabled) {
  state_.functionButtonsEnabled = enabled;
  DeviceListState& s = devices_->MutableState();
  s.secondChooser.enabled = enabled;
  s.listEnabled = enabled;
}

void MainWindowModel::StartReading() {
  if (devices_->DeviceCount() == 0) {
    Warn("1000", "No Device Connected");
    return;
  }
  SetFrontPanelEnabled(false);
  if (devices_->ConnectionGuardRefuses(true)) {
    Warn("1031", "Connection status has changed.Please select \"Refresh\".");
    Notify();
    return;
  }
  chart_->Buffer().Reset();
  if (!state_.multiDeviceMode && devices_->State().currentSlot == kNoDeviceSlot) {
    Warn("1002", "Select Device");
    Notify();
    return;
  }

  ReadingPlan plan;
  plan.multiDeviceMode = state_.multiDeviceMode;
  for (const ChosenDevice& c : settings_->chosenDevice) plan.chosenSlots.push_back(c.slot);
  if (settings_->chosenCount > 0 && static_cast<int>(plan.chosenSlots.size()) > settings_->chosenCount)
    plan.chosenSlots.resize(settings_->chosenCount);
  plan.saveEnabled = settings_->saveEnabled;
  plan.recordNumber = settings_->recordNumber;

  // Locking first: from here on only Stop is usable, even while meters are asked.
  devices_->MutableState().listEnabled = false;
  state_.readingActive = true;
  const ReadingSession::StartOutcome outcome = session_->Begin(plan);
  UpdateCommandStates();
  if (outcome != ReadingSession::StartOutcome::Running) {
    StopReading();
    return;
  }
  RedrawChartNow();
  if (observer_) observer_->StartReadingTimer(state_.timerIntervalMs);
  chart_->Buffer().SetPointCount(0);
  chart_->SetChartMapping();
  Notify();
}

void MainWindowModel::StopReading() {
  if (!state_.multiDeviceMode) devices_->MutableState().listEnabled = true;
  if (observer_) observer_->StopReadingTimer();
  session_->End();
  state_.readingActive = false;
  UpdateCommandStates();
  RedrawChartNow();
  SetFrontPanelEnabled(true);
  if (devices_->DeviceCount() > 0) devices_->OnDeviceSelected();
  ResetTraceSelection();
  Notify();
}

void MainWindowModel::OnReadingTimer() {
  if (!session_->ReadingActive()) return;
  const AcquisitionCycle::TickOutcome outcome = cycle_->OnReadingTimer();
  if (outcome == AcquisitionCycle::TickOutcome::ReadFailed) {
    StopReading();
    prompter_.Message(LookupMessage(u"1001", "Check Device Connection"), "ERROR", Prompter::Icon::Stop,
                      Prompter::Buttons::Ok);
    return;
  }
  if (outcome == AcquisitionCycle::TickOutcome::Redraw) RedrawChartNow();
  if (observer_) observer_->StateChanged();
}

void MainWindowModel::RedrawChartNow() {
  ChartDrawInputs in;
  in.multiDeviceMode = session_->MultiDeviceMode() && state_.multiDeviceMode;
  in.meterCount = in.multiDeviceMode ? std::max(1, session_->ActiveCount()) : 1;
  in.secondActive = state_.secondActive;
  const auto& rows = devices_->State().meters;
  for (int d = 0; d < kMeterPositions; ++d) in.hasSecond[d] = rows[d].hasSecond;
  chart_->RedrawChart(in);
  if (observer_) observer_->RedrawChart();
}

void MainWindowModel::ResetTraceSelection() { chart_->SelectTrace(0); }

void MainWindowModel::RefreshDevices() {
  devices_->RefreshDevices();
  for (MeterDisplayTexts& t : state_.meterTexts) t.secondValueText = "0";
  if (devices_->State().singleDeviceMode) {
    state_.multiDeviceMode = false;
    panel_->SetReadingSet(false, {});
  }
  Notify();
}

void MainWindowModel::OnDeviceSelected(int line) {
  devices_->OnDeviceSelected(line);
  Notify();
}

void MainWindowModel::CloseDevices() {
  if (session_->ReadingActive()) StopReading();
  devices_->CloseDevices();
}

void MainWindowModel::RefreshStatus(int slot) {
  panel_->RefreshStatus(slot);
  Notify();
}

void MainWindowModel::RebuildSecondSelector() {
  panel_->RebuildSecondSelector();
  Notify();
}

void MainWindowModel::SecondFunctionChosen(int index) {
  panel_->SecondFunctionChosen(index);
  Notify();
}

void MainWindowModel::LayoutDisplays() {
  panel_->LayoutDisplays();
  Notify();
}

void MainWindowModel::ReadingSpeedChosen(int index) {
  if (index < 0 || index >= static_cast<int>(kSpeedItems.size())) return;
  state_.speedSelected = index;
  state_.timerIntervalMs = static_cast<int>(LeadingNumber(kSpeedItems[index]));
  if (!state_.toolbarStartEnabled && observer_) observer_->StartReadingTimer(state_.timerIntervalMs);
  state_.intervalCaption = IntervalCaption(state_.timerIntervalMs);
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
  const DeviceListState& s = devices_->State();
  const ConfigureFunctionResult r = merilog::ConfigureFunction(buttons[button], s.currentSlot, devices_->DeviceCount(),
                                                               s.singleDeviceMode, devices_->Query(), functionState_);
  if (!r.messageKey.empty()) Warn(r.messageKey, r.messageDefault);
  if (r.sent) {
    devices_->MutableState().meters[0].valueText = "0";
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

void MainWindowModel::SetDataOffsetText(const std::string& text) { chart_->SetDataOffsetText(text); }

void MainWindowModel::ApplyReadingSettings(const ReadingSettings& settings) {
  if (&settings != settings_.get()) *settings_ = settings;
  DeviceListState& s = devices_->MutableState();
  const ReadingSettingsApplication a =
      merilog::ApplyReadingSettings(*settings_, s.selectedLine, devices_->DeviceCount());
  s.currentSlot = a.currentSlot;
  PlotColours colours;
  std::copy(a.plotColours.begin(), a.plotColours.end(), colours.begin());
  chart_->SetPlotColours(colours);
  state_.multiDeviceMode = !a.singleDeviceMode;
  devices_->SetSingleDeviceMode(a.singleDeviceMode);
  for (int d = 1; d < kMeterPositions; ++d) {
    MeterRowState& row = s.meters[d];
    for (ControlState* c : {&row.nameLabel, &row.valueDisplay, &row.indicator, &row.selectionButton, &row.mainMarker})
      c->shown = false;
  }
  if (a.metersPresent) {
    panel_->SetReadingSet(state_.multiDeviceMode, a.activeSlots);
    for (int d = 0; d < kMeterPositions; ++d) {
      MeterRowState& row = s.meters[d];
      if (!a.rowShown[d]) continue;
      for (ControlState* c :
           {&row.nameLabel, &row.valueDisplay, &row.indicator, &row.selectionButton, &row.mainMarker})
        c->shown = true;
      if (!a.rowLabel[d].empty()) row.nameText = a.rowLabel[d];
    }
    for (int slot : a.refreshStatusSlots) panel_->RefreshStatus(slot);
    if (a.selectDeviceLine && a.currentSlot >= 0) s.selectedLine = a.currentSlot;
    if (a.selectedTrace >= 0) chart_->SelectTrace(a.selectedTrace);
    if (a.resetTraceSelection) ResetTraceSelection();
    if (a.layoutDisplays) panel_->LayoutDisplays();
    for (int i = 0; i < a.onDeviceSelectedCalls; ++i) devices_->OnDeviceSelected();
    if (a.enableDeviceList) s.listEnabled = true;
  }
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
