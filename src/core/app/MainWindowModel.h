#pragma once
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

#include "core/app/MainMenuLayout.h"
#include "core/app/MainWindowTexts.h"
#include "core/instrument/DeviceListModel.h"
#include "core/measure/ConfigureFunction.h"

namespace merilog {

class Clock;
class Prompter;
class ResourceManager;
class ReadingSession;
class StatusPanel;
class AcquisitionCycle;
class ChartModel;
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
  // Any text, list or flag of the state may have changed.
  virtual void StateChanged() = 0;
  // Shows the dialog behind a routed command modally; false when the view has
  // no such dialog (the command then does nothing more).
  virtual bool OpenDialog(MenuCommand /*command*/) { return false; }
  // Settings > Exit, Esc and the close box: the window closes.
  virtual void CloseWindow() {}
};

// Texts and flags of one meter position's displays that the device list model
// does not keep (its MeterRowState holds the main value text and the shown flags).
struct MeterDisplayTexts {
  std::string secondValueText = "0";
  std::string mainTagText;  // "DCV", "MAIN" for position 0 before the first layout
  std::string secondTagText;
};

// One entry of the command routing: whether it is offered at all and enabled now.
struct CommandState {
  bool available = true;  // false: the dialog behind it does not exist yet
  bool enabled = true;
};

// Everything of the main window that the view renders besides the device list
// state (DeviceListModel::State(): lines, selection, meter rows, model-dependent
// buttons).
struct MainWindowState {
  std::string title = "MERILOG";
  MainWindowTexts texts;  // menu texts, tool-tips, chart-control labels

  // Menu items by command (index = static_cast<int>(MenuCommand)).
  std::array<CommandState, 12> menu;
  bool toolbarStartEnabled = true;
  bool toolbarStopEnabled = false;
  bool toolbarDeviceSettingsEnabled = true;

  bool functionButtonsEnabled = true;  // the thirteen function buttons together

  // Status box "MAIN".
  std::string functionText;  // "Function : DCV"
  std::string rangeText;     // "Range : 10  VDC"
  std::vector<std::string> secondChoices;
  int secondSelected = -1;  // index into secondChoices, -1 none
  bool secondChooserEnabled = true;
  std::string secondLabel = "NONE";
  bool secondActive = false;

  std::array<MeterDisplayTexts, kMeterPositions> meterTexts;

  // Chart control box.
  std::vector<std::string> speedChoices;
  int speedSelected = 0;
  int timerIntervalMs = 25;
  std::string intervalCaption = "Trigger Interval : 25ms";
  std::vector<std::string> xMaxChoices;
  int xMaxSelected = 1;
  std::string xMaxCaption = "100";
  std::string yScaleText = "1";
  std::string dataOffsetText = "0";
  int selectedTrace = 0;  // 0-3 main traces "1".."4", 4-7 the 2ND traces "1_2".."4_2"

  bool readingActive = false;
  bool multiDeviceMode = false;
};

// The main window: device list, status panel, front panel, live chart and the
// reading session, as state plus one member function per handler.
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

  // Reading session.
  void StartReading();
  void StopReading();
  void OnReadingTimer();

  // Device list.
  void RefreshDevices();
  void OnDeviceSelected(int line);
  void CloseDevices();

  // Status panel and front panel.
  void RefreshStatus(int slot);
  void RebuildSecondSelector();
  void SecondFunctionChosen(int index);
  void LayoutDisplays();
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

  // After the Reading Settings dialog closed with these settings.
  void ApplyReadingSettings(const ReadingSettings& settings);

  // Keys: Enter does nothing but apply the data offset when its box has the
  // focus; Esc closes the devices and the window.
  void OnEnter(bool dataOffsetHasFocus, const std::string& dataOffsetText);
  void OnEscape();

  // A dialog the view can show: its menu entry becomes available (enabled while idle).
  void SetCommandAvailable(MenuCommand command, bool available);

  const MainWindowState& State() const { return state_; }
  DeviceListModel& Devices() { return *devices_; }
  const DeviceListModel& Devices() const { return *devices_; }
  // The settings the next StartReading uses (mode, saving, records, dual measure).
  const ReadingSettings& Settings() const { return *settings_; }
  ReadingSession& Session() { return *session_; }
  StatusPanel& Panel() { return *panel_; }
  AcquisitionCycle& Cycle() { return *cycle_; }
  ChartModel& Chart() { return *chart_; }
  const ChartModel& Chart() const { return *chart_; }
  // Menu and toolbar entries available and enabled for the reading state.
  void UpdateCommandStates();

 private:
  void Notify();
  void Warn(const std::string& key, const std::string& englishDefault);
  void ResetTraceSelection();
  void RedrawChartNow();
  void SetFrontPanelEnabled(bool enabled);
  void AfterDialog(MenuCommand command);

  ResourceManager& rm_;
  Prompter& prompter_;
  const Clock& clock_;
  MainWindowObserver* observer_ = nullptr;
  MainWindowState state_;
  SlotFunctionState functionState_;
  std::unique_ptr<DeviceListModel> devices_;
  std::unique_ptr<ChartModel> chart_;
  std::unique_ptr<ReadingSettings> settings_;
  std::unique_ptr<ReadingSession> session_;
  std::unique_ptr<StatusPanel> panel_;
  std::unique_ptr<AcquisitionCycle> cycle_;
};

}  // namespace merilog
