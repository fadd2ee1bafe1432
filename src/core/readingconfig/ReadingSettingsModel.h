#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>
#include <vector>

#include "core/base/ControlState.h"
#include "core/instrument/DeviceHandOver.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/instrument/QueryDevice.h"
#include "core/readingconfig/ReadingSettings.h"

namespace merilog {

// The four colour buttons of the dialog.
enum class ColourButton { SingleMain, SingleSecond, MultiMain, MultiSecond };

// One record drop-down list: its entries, the chosen one (-1: none) and the
// text it shows while none is chosen.
struct RecordChooserState {
  ControlState control;
  QStringList entries;
  int selected = -1;
  QString placeholder;
};

// Everything the Reading Settings dialog shows.
struct ReadingSettingsViewState {
  QString title, explanation, modeFrame, singleRadioText, multiRadioText, dualMeasureText;
  QString colourCaption, changeColourText, secondChangeColourText, saveText;
  QString settingsFrame, deviceCaption, selectText, okText, cancelText;

  ControlState singleRadio, multiRadio, dualMeasureBox, okButton;
  bool singleChecked = true;
  bool dualMeasureChecked = false;

  // Single-device controls.
  ControlState singleGroup;
  ControlState singleSwatch, singleChangeColour, singleSecondSwatch, singleSecondChangeColour;
  ControlState singleSaveBox;
  bool singleSaveChecked = false;
  RecordChooserState singleRecords;

  // Multi-device controls.
  ControlState multiGroup;
  ControlState deviceList, selectButton;
  QStringList deviceNames;
  std::vector<int> deviceSelection;  // selected lines, ascending
  ControlState previousButton, nextButton, deviceName;
  ControlState multiSwatch, multiChangeColour, multiSecondSwatch, multiSecondChangeColour;
  ControlState multiSaveBox;
  bool multiSaveChecked = false;
  RecordChooserState multiRecords;

  // Swatch colours: single main, single 2ND, multi main, multi 2ND.
  Rgb singleSwatchColour, singleSecondSwatchColour, multiSwatchColour, multiSecondSwatchColour;
};

// The Reading Settings dialog: mode, the meters of a multi-device session,
// each one's record and save flag, the plot colours and DUAL MEASURE. The
// main window keeps one for the whole run and reads Settings() after every
// close, whichever button closed it.
class ReadingSettingsModel {
 public:
  // Finds the record working folder when the lists are filled; unset:
  // FindRecordFolder for the list check.
  using FolderFinder = std::function<std::optional<QString>(Prompter&)>;

  explicit ReadingSettingsModel(Prompter& prompter, FolderFinder findFolder = {});

  // The device entries of the latest discovery (session, display name, resource).
  void HandOverDevices(const DeviceHandOver& handOver);

  ReadingSettings& Settings() { return settings_; }
  const ReadingSettings& Settings() const { return settings_; }
  const ReadingSettingsViewState& View() const { return view_; }
  // A meter is being asked (Previous and Next ask the chosen meter its name).
  bool Busy() const { return !sequence_.Idle(); }
  // The view renders again when an answer has changed the dialog.
  std::function<void()> onChanged;

  // Handlers.
  void Opening();
  void SingleDeviceChosen();
  void MultiDeviceChosen();
  void DeviceListSelectionChanged(std::vector<int> lines);
  void Select();
  void Previous();
  void Next();
  void SingleSaveToggled(bool checked);
  void MultiSaveToggled(bool checked);
  void SingleRecordChosen(int entry);
  void MultiRecordChosen(int entry);
  void ChangeColour(ColourButton button);
  void DualMeasureToggled(bool checked);
  void Repaint();
  // True when the dialog may close.
  bool Ok();
  // Nothing is undone: the dialog's fields already hold every change.
  void Cancel() {}

 private:
  QString Text(const char* key, const char* englishDefault) const;
  void SetTexts();
  void FillRecordLists();
  void ApplyDualMeasure();
  void ApplyDualModelRule();
  void ApplyMultiLayout();
  void SetPerMeterEnabled(bool enabled);
  void ShowChosenMeter();
  void UpdateStepButtons();
  bool DuplicateCheckPasses(int k);
  void Move(int step);
  int EntryOfRecord(int record) const;
  int RecordOfEntry(int entry) const;
  void Warn(const QString& text);

  Prompter& prompter_;
  FolderFinder findFolder_;
  DeviceHandOver devices_;
  ExchangeSequence sequence_;
  ReadingSettings settings_;
  ReadingSettingsViewState view_;
  bool folderFound_ = true;  // at the last filling of the record lists
};

}  // namespace merilog
