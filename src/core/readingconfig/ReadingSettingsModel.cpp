#include "core/readingconfig/ReadingSettingsModel.h"

#include <algorithm>

#include "core/base/MessageTable.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordList.h"

namespace merilog {

namespace {

const QString kApplicationCaption = QStringLiteral("MERILOG");
// The dual-function model; its meters get a second-trace colour in multi-device mode.
constexpr const char* kDualFunctionTag = "6082";

}  // namespace

ReadingSettingsModel::ReadingSettingsModel(Prompter& prompter, FolderFinder findFolder)
    : prompter_(prompter), findFolder_(std::move(findFolder)) {
  if (!findFolder_) findFolder_ = [](Prompter& p) { return FindRecordFolder(p, RecordFolderCaller::ListCheck); };
  SetTexts();
}

void ReadingSettingsModel::HandOverDevices(const DeviceHandOver& handOver) {
  sequence_.Clear();  // answers for the sessions of an earlier discovery change nothing
  devices_ = handOver;
  settings_.deviceCount = handOver.deviceCount;
}

QString ReadingSettingsModel::Text(const char* key, const char* englishDefault) const {
  return LookupMessage(key, englishDefault);
}

void ReadingSettingsModel::SetTexts() {
  ReadingSettingsViewState& v = view_;
  v.title = Text("02", "Reading Settings");
  v.explanation =
      QStringLiteral("Reading Mode can be set to read data from a single device or multiple devices simultaneously.");
  v.modeFrame = Text("120", "Reading Mode");
  v.singleRadioText = Text("121", "Single-Device");
  v.multiRadioText = Text("122", "Multi-Device");
  v.dualMeasureText = QStringLiteral("DUAL MEASURE");
  v.colourCaption = Text("123", "Color Print");
  v.changeColourText = Text("124", "Change Color");
  v.secondChangeColourText = QStringLiteral("2ND ") + v.changeColourText;
  v.saveText = Text("125", "Save");
  v.settingsFrame = Text("85", "Settings");
  v.deviceCaption = Text("126", "Save");
  v.selectText = QStringLiteral("Select");
  v.okText = Text("07", "OK");
  v.cancelText = QStringLiteral("Cancel");
  const QString none = Text("1013", "Please select a record.");
  v.singleRecords.placeholder = none;
  v.multiRecords.placeholder = none;
}

void ReadingSettingsModel::Warn(const QString& text) {
  prompter_.Message(text, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

int ReadingSettingsModel::EntryOfRecord(int record) const {
  const int entries = static_cast<int>(view_.singleRecords.entries.size());
  for (int i = 0; i < entries && i < kRecordChoices; ++i)
    if (settings_.recordNumbers[i] == record) return i;
  return -1;
}

int ReadingSettingsModel::RecordOfEntry(int entry) const {
  if (entry < 0 || entry >= kRecordChoices || entry >= static_cast<int>(view_.multiRecords.entries.size())) return 0;
  return settings_.recordNumbers[entry];
}

void ReadingSettingsModel::FillRecordLists() {
  view_.singleRecords.entries.clear();
  view_.multiRecords.entries.clear();
  const std::optional<QString> folder = findFolder_(prompter_);
  folderFound_ = folder.has_value();
  if (!folder) {
    view_.singleSaveBox.enabled = false;
    view_.multiSaveChecked = false;
    return;
  }
  const RecordList list = ListRecords(RecordListKind::ReadingSettings, *folder);
  for (std::size_t i = 0; i < list.entries.size() && i < kRecordChoices; ++i) {
    settings_.recordNumbers[i] = list.entries[i].number;
    view_.singleRecords.entries << list.entries[i].label;
  }
  view_.multiRecords.entries = view_.singleRecords.entries;
}

void ReadingSettingsModel::Opening() {
  SetTexts();  // the language may have changed since the last opening
  ReadingSettingsViewState& v = view_;
  v.singleSaveBox = {};
  Repaint();
  FillRecordLists();

  v.deviceNames.clear();
  for (const HandedDevice& d : devices_.devices) v.deviceNames << QString::fromStdString(d.displayName);
  v.deviceSelection.clear();
  const int found = settings_.deviceCount;
  v.singleRadio.enabled = found > 0;
  v.multiRadio.enabled = found >= kMinChosenDevices;
  if (found == 0) v.singleSaveBox.enabled = false;
  if (found == 1 || settings_.mode == kReadingModeUnset) settings_.mode = kSingleDeviceMode;
  v.singleChecked = !settings_.MultiDevice();

  v.singleSecondSwatch.shown = v.singleSecondChangeColour.shown = false;
  v.multiSecondSwatch.shown = v.multiSecondChangeColour.shown = false;
  v.deviceList.shown = v.selectButton.shown = false;

  v.dualMeasureChecked = settings_.dualMeasure == 1;
  ApplyDualMeasure();

  v.singleSaveChecked = false;
  v.singleRecords.selected = -1;
  v.singleRecords.control.enabled = false;
  settings_.deviceNameText = settings_.chosenDevice.empty() ? std::string() : settings_.chosenDevice[0].displayName;
  settings_.currentChosen = 0;

  if (settings_.MultiDevice()) {
    MultiDeviceChosen();
  } else {
    SingleDeviceChosen();
    if (settings_.saveEnabled[0]) {
      v.singleSaveChecked = true;
      v.singleRecords.control.enabled = v.singleSaveBox.enabled;
      v.singleRecords.selected = EntryOfRecord(settings_.recordNumber[0]);
    }
  }
}

void ReadingSettingsModel::SingleDeviceChosen() {
  settings_.mode = kSingleDeviceMode;
  view_.singleChecked = true;
  view_.okButton.enabled = true;
  view_.multiGroup.shown = false;
  view_.singleGroup.shown = true;
  ApplyDualMeasure();
}

void ReadingSettingsModel::SetPerMeterEnabled(bool enabled) {
  ReadingSettingsViewState& v = view_;
  for (ControlState* c : {&v.deviceName, &v.previousButton, &v.nextButton, &v.multiSwatch, &v.multiChangeColour,
                          &v.multiSecondSwatch, &v.multiSecondChangeColour, &v.multiSaveBox})
    c->enabled = enabled;
  // Without a working folder no record can be chosen, so saving cannot be switched on.
  if (!folderFound_) {
    v.multiSaveBox.enabled = false;
    v.multiSaveChecked = false;
  }
  v.multiRecords.control.enabled = v.multiSaveBox.enabled && v.multiSaveChecked;
}

void ReadingSettingsModel::ShowChosenMeter() {
  const int k = settings_.currentChosen;
  view_.multiSwatchColour = settings_.plotColour[k];
  view_.multiSecondSwatchColour = settings_.plotColour[k + kSecondTraceColourOffset];
  view_.multiSaveChecked = settings_.saveEnabled[k] != 0 && folderFound_;
  view_.multiRecords.selected = view_.multiSaveChecked ? EntryOfRecord(settings_.recordNumber[k]) : -1;
  view_.multiRecords.control.enabled = view_.multiSaveChecked && view_.multiSaveBox.enabled;
}

void ReadingSettingsModel::ApplyMultiLayout() {
  ReadingSettingsViewState& v = view_;
  v.okButton.enabled = false;
  v.multiGroup.shown = true;
  v.deviceList.shown = v.selectButton.shown = true;
  v.singleGroup.shown = false;
  ShowChosenMeter();
  SetPerMeterEnabled(false);
  ApplyDualMeasure();
}

void ReadingSettingsModel::MultiDeviceChosen() {
  settings_.mode = kMultiDeviceMode;
  view_.singleChecked = false;
  ApplyMultiLayout();
}

void ReadingSettingsModel::DeviceListSelectionChanged(std::vector<int> lines) {
  std::sort(lines.begin(), lines.end());
  lines.erase(std::unique(lines.begin(), lines.end()), lines.end());
  std::erase_if(lines, [this](int line) { return line < 0 || line >= static_cast<int>(devices_.devices.size()); });
  view_.deviceSelection = std::move(lines);
}

void ReadingSettingsModel::Select() {
  const int k = static_cast<int>(view_.deviceSelection.size());
  if (k > kMaxChosenDevices || k < kMinChosenDevices) {
    const QString text =
        k > kMaxChosenDevices ? QStringLiteral("MAX. 4 Devices.") : QStringLiteral("At least 2 Devices.");
    prompter_.Message(text, kApplicationCaption, Prompter::Icon::None, Prompter::Buttons::Ok);
    ApplyMultiLayout();
    return;
  }
  settings_.chosenCount = k;
  settings_.chosenDevice.clear();
  for (int line : view_.deviceSelection) settings_.chosenDevice.push_back({line, devices_.devices[line].displayName});
  settings_.currentChosen = 0;
  settings_.deviceNameText = settings_.chosenDevice[0].displayName;
  SetPerMeterEnabled(true);
  view_.okButton.enabled = true;
  ShowChosenMeter();
  UpdateStepButtons();
  ApplyDualModelRule();
}

void ReadingSettingsModel::UpdateStepButtons() {
  view_.previousButton.enabled = settings_.currentChosen > 0;
  view_.nextButton.enabled = settings_.currentChosen < settings_.chosenCount - 1;
}

bool ReadingSettingsModel::DuplicateCheckPasses(int k) {
  if (!settings_.saveEnabled[k]) return true;
  const int record = RecordOfEntry(view_.multiRecords.selected);
  if (record == 0) return true;
  // Only positions of the current choice: a flag left from an earlier, larger
  // choice belongs to no meter and must not block a record.
  const int positions = std::clamp(settings_.chosenCount, 0, kReadingPositions);
  for (int j = 0; j < positions; ++j) {
    if (j == k || !settings_.saveEnabled[j] || settings_.recordNumber[j] != record) continue;
    Warn(Text("1014", "The record has been selected, please select a different record."));
    return false;
  }
  return true;
}

void ReadingSettingsModel::Move(int step) {
  const int target = settings_.currentChosen + step;
  if (target < 0 || target >= settings_.chosenCount) return;
  if (view_.multiSaveChecked && view_.multiRecords.selected < 0) {
    Warn(Text("1013", "Please select a record."));
    return;
  }
  if (!DuplicateCheckPasses(settings_.currentChosen)) return;
  // Everything shown moves to the meter stepped to at once, so what a control
  // changes is always the meter shown; its name is asked afresh and comes when
  // it answers, which a slow meter may take up to its time-out to do.
  settings_.currentChosen = target;
  const ChosenDevice& chosen = settings_.chosenDevice[target];
  settings_.deviceNameText = chosen.displayName;
  UpdateStepButtons();
  ShowChosenMeter();
  ApplyDualModelRule();
  const int slot = chosen.slot;
  const bool known = slot >= 0 && slot < static_cast<int>(devices_.devices.size());
  const std::string resource = known ? devices_.devices[slot].resource : std::string();
  sequence_.Ask<std::string>(
      known ? devices_.devices[slot].worker : nullptr,
      [](Session* s) { return QueryDevice(s, QueryForm::ReadingSettings, "*IDN?\n").text; },
      [this, target, resource](std::string answer) {
        if (settings_.currentChosen != target) return;  // stepped on meanwhile: the name is another meter's
        settings_.deviceNameText = MakeDeviceDisplayName(answer, resource);
        ApplyDualModelRule();
        if (onChanged) onChanged();
      });
}

void ReadingSettingsModel::Previous() {
  Move(-1);
}
void ReadingSettingsModel::Next() {
  Move(+1);
}

void ReadingSettingsModel::SingleSaveToggled(bool checked) {
  view_.singleSaveChecked = checked;
  view_.singleRecords.control.enabled = checked;
  settings_.saveEnabled[0] = checked ? 1 : 0;
}

void ReadingSettingsModel::MultiSaveToggled(bool checked) {
  view_.multiSaveChecked = checked;
  view_.multiRecords.control.enabled = checked;
  settings_.saveEnabled[settings_.currentChosen] = checked ? 1 : 0;
}

void ReadingSettingsModel::SingleRecordChosen(int entry) {
  if (entry < 0 || entry >= static_cast<int>(view_.singleRecords.entries.size())) return;
  view_.singleRecords.selected = entry;
  settings_.recordNumber[0] = settings_.recordNumbers[entry];
}

void ReadingSettingsModel::MultiRecordChosen(int entry) {
  if (entry < 0 || entry >= static_cast<int>(view_.multiRecords.entries.size())) return;
  const int k = settings_.currentChosen;
  const int before = view_.multiRecords.selected;
  view_.multiRecords.selected = entry;
  if (DuplicateCheckPasses(k)) {
    settings_.recordNumber[k] = settings_.recordNumbers[entry];
  } else {
    // The refused record is not taken, so the list goes back to what is stored.
    view_.multiRecords.selected = before;
  }
}

void ReadingSettingsModel::ChangeColour(ColourButton button) {
  const int k = settings_.currentChosen;
  int slot = 0;
  switch (button) {
    case ColourButton::SingleMain:
      slot = 0;
      break;
    case ColourButton::SingleSecond:
      slot = kSecondTraceColourOffset;
      break;
    case ColourButton::MultiMain:
      slot = k;
      break;
    case ColourButton::MultiSecond:
      slot = k + kSecondTraceColourOffset;
      break;
  }
  if (const std::optional<Rgb> chosen = prompter_.ChooseColour(settings_.plotColour[slot])) {
    settings_.plotColour[slot] = *chosen;
    Repaint();
  }
}

void ReadingSettingsModel::ApplyDualModelRule() {
  if (!settings_.MultiDevice()) return;
  const bool dualModel = settings_.deviceNameText.find(kDualFunctionTag) != std::string::npos;
  view_.multiSecondSwatch.shown = view_.multiSecondChangeColour.shown = view_.dualMeasureChecked && dualModel;
}

void ReadingSettingsModel::ApplyDualMeasure() {
  ReadingSettingsViewState& v = view_;
  const bool on = v.dualMeasureChecked;
  v.singleSecondSwatch.shown = v.singleSecondChangeColour.shown = on && !settings_.MultiDevice();
  v.multiSecondSwatch.shown = v.multiSecondChangeColour.shown = on && settings_.MultiDevice();
  ApplyDualModelRule();
}

void ReadingSettingsModel::DualMeasureToggled(bool checked) {
  view_.dualMeasureChecked = checked;
  settings_.dualMeasure = checked ? 1 : 0;
  ApplyDualMeasure();
}

void ReadingSettingsModel::Repaint() {
  const int k = std::clamp(settings_.currentChosen, 0, kReadingPositions - 1);
  view_.singleSwatchColour = settings_.plotColour[0];
  view_.singleSecondSwatchColour = settings_.plotColour[kSecondTraceColourOffset];
  view_.multiSwatchColour = settings_.plotColour[k];
  view_.multiSecondSwatchColour = settings_.plotColour[k + kSecondTraceColourOffset];
}

bool ReadingSettingsModel::Ok() {
  const QString none = Text("1013", "Please select a record.");
  if (settings_.MultiDevice()) {
    if (view_.multiSaveChecked) {
      // The same rules as the previous and next buttons: a saving meter needs
      // its own record, or two meters would write into one file.
      if (view_.multiRecords.selected < 0) {
        Warn(none);
        return false;
      }
      if (!DuplicateCheckPasses(settings_.currentChosen)) return false;
      settings_.saveEnabled[settings_.currentChosen] = 1;
      settings_.recordNumber[settings_.currentChosen] = RecordOfEntry(view_.multiRecords.selected);
    }
    return true;
  }
  if (view_.singleSaveChecked) {
    if (view_.singleRecords.selected < 0) {
      Warn(none);
      return false;
    }
    settings_.saveEnabled[0] = 1;
    settings_.recordNumber[0] = settings_.recordNumbers[view_.singleRecords.selected];
  }
  return true;
}

}  // namespace merilog
