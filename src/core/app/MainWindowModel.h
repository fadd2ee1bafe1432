#pragma once
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/app/MainMenuLayout.h"
#include "core/app/MainWindowTexts.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/labserver/LabServerMonitor.h"
#include "core/measure/ChartModel.h"
#include "core/measure/ConfigureFunction.h"
#include "core/measure/ReadingRun.h"
#include "core/measure/StatusPanel.h"
#include "core/readingconfig/UnattendedRun.h"

namespace merilog {

class Clock;
class Prompter;
class ResourceManager;
struct ReadingSettings;

// What the main window's view does for the model. Every call happens inside a
// handler of the model, on the user-interface thread.
class MainWindowObserver {
 public:
  virtual ~MainWindowObserver() = default;
  // Timer 1: (re)start with this period, or stop it.
  virtual void StartReadingTimer(int intervalMs) = 0;
  virtual void StopReadingTimer() = 0;
  // The chart buffer or the chart settings changed: draw the traces again.
  virtual void RedrawChart() = 0;
  // Anything the view shows may have changed: render the model again. Called
  // before every question the model asks, so the window the user sees behind
  // the question is up to date.
  virtual void StateChanged() = 0;
  // Shows the dialog behind a routed command modally; false when the view has
  // no such dialog (the command then does nothing more).
  virtual bool OpenDialog(MenuCommand /*command*/) { return false; }
  // Settings > Exit, Esc and the close box: the window closes.
  virtual void CloseWindow() {}
};

// The main window: routes the menu, toolbar, panel and timer to the owners of
// its facts (device list, status panel, chart, reading run) and derives what
// the view shows from them. Only what no other class owns lives here: the
// language texts, the reading speed, which dialogs exist, and the reading
// settings applied for the next run.
//
// The window never waits for a meter: a handler that talks to meters takes its
// place in the exchange sequence and goes on when the answers come, in the
// order a handler that waited would have; discovery and the reading ticks ask
// every meter at once. Stop and close act at once, whatever a meter does.
class MainWindowModel {
 public:
  MainWindowModel(ResourceManager& rm, Prompter& prompter, const Clock& clock,
                  std::vector<std::string> lanResources = {});
  ~MainWindowModel();
  MainWindowModel(const MainWindowModel&) = delete;
  MainWindowModel& operator=(const MainWindowModel&) = delete;

  void SetObserver(MainWindowObserver* observer) { observer_ = observer; }

  // Start-up in the window's fixed order: configuration check, relabelling,
  // reading speed 25 ms, device discovery, chart state.
  void Initialise();

  // Menu and toolbar commands, routed through the command table.
  void OnCommand(MenuCommand command);
  // System-menu About: the About box only, no relabelling afterwards.
  void OnSystemAbout();

  // Reading run.
  void StartReading();
  void StopReading();
  void OnReadingTimer();

  // Device list.
  void RefreshDevices();
  void OnDeviceSelected(int line);
  void CloseDevices();

  // Status panel and front panel.
  void SecondFunctionChosen(int index);
  void ReadingSpeedChosen(int index);
  void ApplyDataOffset(const std::string& text);
  // A function button by its position in FunctionButtonTable().
  void ConfigureFunction(int button);

  // Chart controls.
  void SetXMax(int index);
  void ScaleUp();
  void ScaleDown();
  void ShiftUp();
  void ShiftDown();
  void SelectTrace(int trace);
  // What the user has typed into the data offset box (scale and shift read it).
  void SetDataOffsetText(const std::string& text);

  // Forwards the working folder's records to the lab server in the background
  // (nothing when the settings name no server).
  void UseLabServer(const LabServerSettings& settings, LabForwardPolicy policy = {});
  // The status line: the run's latest event (a meter lost or back, a limit
  // crossed, how the run ended) and the lab server's backlog while there is one.
  QString StatusLine() const;
  const LabServerMonitor* LabServer() const { return labServer_.get(); }

  // After the Reading Settings dialog closed with these settings.
  void ApplyReadingSettings(const ReadingSettings& settings);
  // After the Stop and Limits dialog closed with OK: the next run's stop and limits.
  void ApplyUnattendedRun(const UnattendedRun& settings);
  const UnattendedRun& Unattended() const { return unattended_; }
  // Keep reading when a meter drops (the Settings menu's check item, kept in
  // the language file's [Options] section).
  bool KeepReading() const { return CommandChecked(MenuCommand::KeepReading); }
  bool CommandChecked(MenuCommand command) const;

  // Keys: Enter does nothing but apply the data offset when its box has the
  // focus; Esc closes the devices and the window.
  void OnEnter(bool dataOffsetHasFocus, const std::string& dataOffsetText);
  void OnEscape();

  // A dialog the view can show: its menu entry becomes available (enabled while idle).
  void SetCommandAvailable(MenuCommand command, bool available);

  // What the view renders, computed from the owners.
  const MainWindowTexts& Texts() const { return texts_; }
  bool CommandEnabled(MenuCommand command) const;
  // How the LAN is searched once the user turns the search on (tests keep it on loopback).
  void SetLanSearchOptions(LanSearchOptions options) { lanSearchOptions_ = std::move(options); }
  bool ToolbarStartEnabled() const { return !run_->Locked(); }
  bool ToolbarStopEnabled() const { return run_->Locked(); }
  bool ToolbarDeviceSettingsEnabled() const;
  bool DeviceListEnabled() const { return devices_->HasMeters() && !run_->Locked(); }
  // A function button (position in FunctionButtonTable()): the meter's model
  // decides CAP and TCOUPL, and a run locks them all.
  ControlState FunctionButton(int button) const;
  ControlState SecondChooser() const;
  const std::vector<std::string>& SpeedChoices() const;
  int SpeedSelected() const { return speedSelected_; }
  int TimerIntervalMs() const { return timerIntervalMs_; }
  std::string IntervalCaption() const;
  bool ReadingActive() const { return run_->Active(); }
  bool MultiDeviceMode() const { return multiDeviceMode_; }
  // How a position's value display looks beyond its text.
  struct MeterAlert {
    bool lost = false;     // greyed: the value shown is the last one read
    QString lostText;      // "Lost since 14:03:27"
    bool outside = false;  // the warning colour: the last reading was outside the limits
  };
  MeterAlert Alert(int position) const;
  // The meters the front panel lays out and the next run reads.
  ReadingSet CurrentReadingSet() const;
  // What Start Reading would read and store now.
  ReadingPlan NextRunPlan() const;
  // Meters are being searched or asked (the view shows the wait cursor).
  bool Busy() const { return devices_->Discovering() || !sequence_.Idle(); }
  // Nothing waits: no search, no exchange, no tick (tests wait for this).
  bool Idle() const { return !Busy() && !run_->TickPending() && devices_->Discovery().Quiet(); }

  DeviceListModel& Devices() { return *devices_; }
  const DeviceListModel& Devices() const { return *devices_; }
  const StatusPanel& Panel() const { return *panel_; }
  ReadingRun& Run() { return *run_; }
  const ReadingRun& Run() const { return *run_; }
  ChartModel& Chart() { return *chart_; }
  const ChartModel& Chart() const { return *chart_; }
  const SlotFunctionState& Functions() const { return functions_; }

 private:
  void Notify();
  void Warn(const std::string& key, const std::string& englishDefault);
  void SelectMeter(int line);
  void AfterDiscovery(bool atStartUp);
  void Refresh();
  void Start();
  void Started(ReadingRun::StartOutcome outcome);
  void Ticked(ReadingRun::TickOutcome outcome);
  void ApplySettings(const ReadingSettings& settings);
  void RedrawChartNow();
  // A check item: the choice flipped, kept, and acted on.
  void Toggle(MenuCommand command);
  // The device list searches the LAN when its check item is on.
  void ApplyLanSearch();
  void RunEvent(int position, const QString& text);
  QString MeterName(int position) const;
  QString RunEndText() const;

  Prompter& prompter_;
  const Clock& clock_;
  MainWindowObserver* observer_ = nullptr;
  MainWindowTexts texts_;
  std::array<bool, kMenuCommandCount> available_{};  // by MenuCommand: the dialog behind it exists
  // By MenuCommand: a check item's mark, kept in the language file; read at start-up.
  std::array<bool, kMenuCommandCount> checked_{};
  LanSearchOptions lanSearchOptions_;
  int speedSelected_ = 0;
  int timerIntervalMs_ = 25;
  // The reading settings applied for the next run (the colours go to the chart).
  bool multiDeviceMode_ = false;
  std::vector<int> chosenSlots_;
  std::array<int, kMeterPositions> saveEnabled_{};
  std::array<int, kMeterPositions> recordNumber_{};
  UnattendedRun unattended_;
  QString statusLine_;

  SlotFunctionState functions_;
  ExchangeSequence sequence_;
  std::unique_ptr<DeviceListModel> devices_;
  std::unique_ptr<ReadingRun> run_;
  std::unique_ptr<ChartModel> chart_;
  std::unique_ptr<StatusPanel> panel_;
  std::unique_ptr<LabServerMonitor> labServer_;
  CallbackGuard guard_;
};

}  // namespace merilog
