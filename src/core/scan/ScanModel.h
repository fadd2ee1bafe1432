#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "core/base/ControlState.h"
#include "core/base/JobRunner.h"
#include "core/scan/ScanDevices.h"
#include "core/scan/ScanResultsGrid.h"
#include "core/scan/ScanRun.h"
#include "core/scan/ScanSetup.h"

namespace merilog {

class Clock;
class DocumentOpener;
class Prompter;
class ResourceManager;
struct CardReadBack;

// Everything the scan dialog shows.
struct ScanViewState {
  QString title, deviceListLabel, settingsLabel, channelLabel, functionLabel, timerLabel, scanCountLabel;
  QString startText, stopText, exitText, exportText, atTimeText, stopTimeText, perScanText, stopAfterNText;
  QString shuntRLabel, currentOffsetLabel, formula, progressText;
  // The status line: what the run has to say beyond its progress.
  QString statusText;

  QStringList deviceNames;
  int deviceSelected = -1;
  QStringList channelItems;
  int channelSelected = 0;
  QStringList functionItems;
  int functionSelected = 0;
  QStringList modeItems;
  int modeSelected = 0;
  QString shuntRText, currentOffsetText, timerText, scanCountText, nText;
  bool atTimeChecked = false, stopTimeChecked = false, perScanChecked = false, stopAfterNChecked = false;
  QDateTime atTime, stopTime;
  QTime interval;

  ControlState deviceList, settingsGroup, channelChooser, functionChooser, channelLabels;
  ControlState currentFields;  // R and I fields, their labels and the formula line
  ControlState timerField, scanCountField, modeChooser, startButton, stopButton;
  ControlState atTimeBox, atTimePicker, stopTimeBox, stopTimePicker, perScanBox, intervalPicker, stopAfterNBox;
  ControlState nField, exportButton;
  // The search or a card read is under way (the view shows the wait cursor).
  bool busy = false;
};

// The scan dialog: its own meter search, the channel and schedule set-up, the
// scan run, the results grid and the spreadsheet export. The main window keeps
// one for the whole run; the dialog opens and closes its meters itself.
class ScanModel {
 public:
  // lanResources: the LAN instruments searched after the buses.
  ScanModel(ResourceManager& rm, std::vector<std::string> lanResources, Prompter& prompter, const Clock& clock,
            ScanTimers& timers, DocumentOpener& opener);
  ~ScanModel();
  ScanModel(const ScanModel&) = delete;
  ScanModel& operator=(const ScanModel&) = delete;

  // Handlers.
  void OpenScanDialog();
  void ScanDeviceChosen(int line);
  void ScanChannelChosen(int channel);
  void ScanFunctionChosen(int index);
  void ShuntREdited(const QString& text);
  void CurrentOffsetEdited(const QString& text);
  void TimerEdited(const QString& text);
  void ScanCountEdited(const QString& text);
  void NEdited(const QString& text);
  void StepN(int step);
  void ScanModeChosen(int position);
  void AtTimeToggled(bool checked);
  void StopTimeToggled(bool checked);
  void PerScanIntervalToggled(bool checked);
  void StopAfterNToggled(bool checked);
  void PickerChanged(ScanPicker picker, const QDateTime& moment);
  void IntervalChanged(const QTime& interval);
  void StartScan();
  void StopScan();
  void ExportToSpreadsheet();
  // Exit: a run stops, the dialog's meters are closed.
  void Exit();

  ScanViewState View() const;
  // The search, a card read or an exchange of the run is under way.
  bool WaitingForMeter() const;
  bool Exporting() const { return exporting_; }
  // The meters found and the configuration controls usable (a card was read).
  bool Ready() const { return cardReady_; }
  // What the chosen meter said of its card: nothing (or not asked yet), or
  // an answer to "Rout:state?" naming no channel count.
  bool CardSilent() const { return cardSilent_; }
  const std::string& CardState() const { return cardState_; }

  const ScanSetup& Setup() const { return setup_; }
  const ScanRun& Run() const { return run_; }
  const ScanDevices& Devices() const { return devices_; }
  ScanResultsGrid& Grid() { return grid_; }
  const ScanResultsGrid& Grid() const { return grid_; }

  // Called after every change the dialog shows, outside a handler too (a
  // meter's answer, a timer, the end of an export).
  std::function<void()> onChanged;

 private:
  void Changed();
  // A change through a configuration control, when the controls are enabled.
  void Edit(const std::function<void()>& change);
  void ChooseDevice(int line, bool opening);
  void ApplyCard(const CardReadBack& card, bool opening);
  bool ConfigEnabled() const;

  Prompter& prompter_;
  DocumentOpener& opener_;
  ScanDevices devices_;
  ScanSetup setup_;
  ScanResultsGrid grid_;
  ScanRun run_;
  JobRunner exportJobs_;
  int selectedScanDevice_ = -1;
  bool cardReady_ = false;
  bool cardSilent_ = false;
  std::string cardState_;
  bool readingCard_ = false;
  bool exporting_ = false;
  std::unique_ptr<CallbackGuard> guard_ = std::make_unique<CallbackGuard>();
};

}  // namespace merilog
