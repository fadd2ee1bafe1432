#include "core/instrument/DeviceListModel.h"

#include <algorithm>
#include <array>
#include <set>

#include "core/base/MessageTable.h"
#include "core/instrument/ResourceManager.h"

namespace merilog {
namespace {

bool FoundAfterFirstCharacter(std::string_view text, std::string_view what) {
  const auto at = text.find(what);
  return at != std::string_view::npos && at > 0;
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

void HideAll(std::initializer_list<ControlState*> controls) {
  for (ControlState* c : controls) c->shown = false;
}

void ShowAll(std::initializer_list<ControlState*> controls) {
  for (ControlState* c : controls) c->shown = true;
}

}  // namespace

void ApplyControlChange(ControlChange change, ControlState& control) {
  switch (change) {
    case ControlChange::Keep:
      break;
    case ControlChange::Show:
      control.shown = true;
      break;
    case ControlChange::Hide:
      control.shown = false;
      break;
    case ControlChange::Enable:
      control.enabled = true;
      break;
    case ControlChange::Disable:
      control.enabled = false;
      break;
  }
}

std::span<const FunctionControlAdaptation> FunctionControlAdaptations() {
  using C = ControlChange;
  using M = FunctionControlAdaptation::Mode;
  // Columns: CAP, TCOUPL, "Measurement Function :" label, 2ND markers, 2ND-function chooser.
  static const std::array<FunctionControlAdaptation, 4> kRows{{
      {"6082", M::Either, C::Enable, C::Enable, C::Show, C::Show, C::Show},
      {"6081", M::Either, C::Disable, C::Disable, C::Hide, C::Hide, C::Hide},
      {"", M::Single, C::Disable, C::Hide, C::Hide, C::Hide, C::Hide},
      {"", M::Multi, C::Disable, C::Disable, C::Enable, C::Show, C::Disable},
  }};
  return kRows;
}

const FunctionControlAdaptation& FindFunctionControlAdaptation(std::string_view shortName, bool singleDeviceMode) {
  const auto rows = FunctionControlAdaptations();
  for (const auto& row : rows) {
    if (!row.tag.empty()) {
      if (shortName.find(row.tag) != std::string_view::npos) return row;
      continue;
    }
    using M = FunctionControlAdaptation::Mode;
    if (row.mode == M::Either || (row.mode == M::Single) == singleDeviceMode) return row;
  }
  return rows.back();
}

std::string ShortDeviceName(std::string_view line) {
  if (FoundAfterFirstCharacter(line, "MODEL 6081")) return std::string(line.substr(line.find("6081")));
  if (FoundAfterFirstCharacter(line, "QDM-5963")) return std::string(line.substr(line.find("5963")));
  return std::string(line);
}

DeviceListState::DeviceListState() {
  for (int i = 0; i < kMeterPositions; ++i) {
    MeterRowState& row = meters[i];
    row.nameText = "Multimeter Device -- " + std::to_string(i + 1);
    HideAll({&row.secondValueDisplay, &row.secondIndicator, &row.secondSelectionButton, &row.secondMarkers});
    // Only the first meter's row is visible until a reading mode says otherwise.
    if (i > 0) HideAll({&row.nameLabel, &row.indicator, &row.valueDisplay, &row.mainMarker, &row.selectionButton});
  }
}

DeviceListModel::DeviceListModel(ResourceManager& rm, std::vector<std::string> lanResources, DeviceListHooks hooks)
    : rm_(rm), discovery_(rm), hooks_(std::move(hooks)) {
  discovery_.SetLanResources(std::move(lanResources));
}

std::string DeviceListModel::Message(const std::string& key, const std::string& englishDefault) const {
  if (hooks_.lookupMessage) return hooks_.lookupMessage(key, englishDefault);
  return LookupMessage(QString::fromStdString(key), QString::fromStdString(englishDefault)).toStdString();
}

std::string DeviceListModel::NoDeviceText() const {
  return Message("1000", "No Device Connected");
}

std::string DeviceListModel::ConnectionChangedText() const {
  return Message("1031", "Connection status has changed.Please select \"Refresh\".");
}

void DeviceListModel::ShowNoMeterLine() {
  state_.lines = {NoDeviceText()};
  state_.toolTip = state_.lines.front();
  state_.selectedLine = -1;
  state_.listEnabled = false;
}

void DeviceListModel::FillLines() {
  state_.lines.clear();
  for (const auto& d : discovery_.Devices()) state_.lines.push_back(d.displayName);
}

void DeviceListModel::InitialiseDevices() {
  discovery_.DiscoverDevices();
  FillLines();
  if (hooks_.devicesHandedOver) hooks_.devicesHandedOver(discovery_.Devices());

  MeterRowState& first = state_.meters[0];
  if (DeviceCount() == 0) {
    ShowNoMeterLine();
    HideAll({&first.nameLabel, &first.indicator, &first.valueDisplay, &first.mainMarker, &first.selectionButton,
             &state_.measurementFunctionLabel, &state_.secondMarkers});
    state_.secondChooser.shown = true;
    state_.currentSlot = kNoDeviceSlot;
    state_.noMeterFlag = 1;
    return;
  }
  state_.listEnabled = true;
  OnDeviceSelected(0);
  ShowAll({&first.indicator, &first.valueDisplay, &first.mainMarker});
  state_.noMeterFlag = 0;
}

void DeviceListModel::HideMeterRowsAfterFirst() {
  for (int i = 1; i < kMeterPositions; ++i) {
    MeterRowState& row = state_.meters[i];
    HideAll({&row.nameLabel, &row.valueDisplay, &row.indicator, &row.selectionButton, &row.mainMarker});
  }
}

void DeviceListModel::HideSecondGroups() {
  for (MeterRowState& row : state_.meters) {
    row.hasSecond = false;
    HideAll({&row.secondValueDisplay, &row.secondIndicator, &row.secondSelectionButton, &row.secondMarkers});
    row.valueText = "0";
  }
}

void DeviceListModel::RefreshDevices() {
  if (hooks_.setWaitCursor) hooks_.setWaitCursor(true);
  state_.lines.clear();
  state_.selectedLine = -1;
  discovery_.CloseDevices();
  discovery_.DiscoverDevices();
  FillLines();
  if (hooks_.devicesHandedOver) hooks_.devicesHandedOver(discovery_.Devices());

  MeterRowState& first = state_.meters[0];
  const int count = DeviceCount();
  if (count == 0) {
    ShowNoMeterLine();
    HideAll({&state_.measurementFunctionLabel, &state_.secondMarkers});
    state_.secondChooser.shown = true;
    HideAll({&first.nameLabel, &first.indicator, &first.secondIndicator, &first.mainMarker, &first.valueDisplay});
    if (hooks_.clearStatusTexts) hooks_.clearStatusTexts();
    state_.currentSlot = kNoDeviceSlot;
  } else {
    OnDeviceSelected(0);
    ShowAll({&first.nameLabel, &first.indicator, &first.valueDisplay, &first.mainMarker});
    state_.listEnabled = true;
    HideMeterRowsAfterFirst();
    if (count >= 2) {
      state_.singleDeviceMode = true;
      if (hooks_.resetToFirstMeter) hooks_.resetToFirstMeter();
    }
  }
  HideSecondGroups();

  state_.noMeterFlag = count == 0 ? 1 : 0;
  // The status refresh lays the 2ND displays out again after they were all hidden above.
  if (count > 0) OnDeviceSelected();
  if (hooks_.setWaitCursor) hooks_.setWaitCursor(false);
  if (hooks_.resetTraceSelection) hooks_.resetTraceSelection();
}

void DeviceListModel::CloseDevices() {
  discovery_.CloseDevices();
}

void DeviceListModel::OnDeviceSelected() {
  OnDeviceSelected(state_.selectedLine);
}

void DeviceListModel::OnDeviceSelected(int line) {
  if (line < 0 || line >= DeviceCount()) {
    // Only the no-meter line can be "selected" here; there is no meter to make current.
    state_.currentSlot = kNoDeviceSlot;
    return;
  }
  state_.selectedLine = line;
  state_.currentSlot = line;
  if (hooks_.refreshStatus) hooks_.refreshStatus(line);

  const std::string shortName = ShortDeviceName(state_.lines[line]);
  if (state_.singleDeviceMode) {
    state_.meters[0].nameText = shortName;
    state_.toolTip = discovery_.Devices()[line].identification;
  }
  const auto& a = FindFunctionControlAdaptation(shortName, state_.singleDeviceMode);
  ApplyControlChange(a.capButton, state_.capButton);
  ApplyControlChange(a.tcouplButton, state_.tcouplButton);
  ApplyControlChange(a.measurementFunctionLabel, state_.measurementFunctionLabel);
  ApplyControlChange(a.secondMarkers, state_.secondMarkers);
  ApplyControlChange(a.secondChooser, state_.secondChooser);
}

bool DeviceListModel::ConnectionGuardRefuses(bool checkBuses) {
  if (state_.noMeterFlag == 1 && DeviceCount() == 1) return true;
  if (!checkBuses) return false;
  std::multiset<std::string> now, before;
  for (const char* pattern : {kUsbSearchPattern, kGpibSearchPattern})
    for (const auto& r : rm_.Find(pattern)) now.insert(Upper(r));
  for (int i = 0; i < discovery_.BusCount(); ++i) before.insert(Upper(discovery_.RawResources()[i]));
  return now != before;
}

}  // namespace merilog
