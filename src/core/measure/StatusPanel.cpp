#include "core/measure/StatusPanel.h"

#include <algorithm>
#include <array>

#include "core/app/MainWindowModel.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/FunctionCatalogue.h"
#include "core/measure/ModelClass.h"
#include "core/measure/RangeText.h"
#include "core/measure/SecondFunction.h"

namespace merilog {

namespace {

constexpr int kRatioRow = 11;
constexpr int kTempRow = 10, kTcoRow = 12, kCapRow = 13;

bool Contains(std::string_view text, std::string_view part) { return text.find(part) != std::string_view::npos; }

bool ContainsAny(std::string_view text, std::initializer_list<std::string_view> parts) {
  return std::any_of(parts.begin(), parts.end(), [&](std::string_view p) { return Contains(text, p); });
}

std::string StripQuotesAndLineFeeds(std::string s) {
  s.erase(std::remove_if(s.begin(), s.end(), [](char c) { return c == '"' || c == '\n'; }), s.end());
  return s;
}

bool RatioRanges(const std::string& identification) {
  return IsModelClass(identification, ModelClass::RatioCapable);
}

// The selector before its first rebuild.
constexpr std::array<const char*, 12> kInitialSecondChoices{"NONE", "DCV", "DCI", "ACV",    "ACI",  "2W",
                                                           "4W",   "PERIOD", "FREQ", "TCOUPL", "TEMP", "CAP"};

}  // namespace

StatusPanel::StatusPanel(MainWindowState& state, DeviceListModel& devices, const SlotFunctionState& functions)
    : state_(state), devices_(devices), functions_(functions) {}

void StatusPanel::SetReadingSet(bool multiDeviceMode, std::vector<int> readingSet) {
  multiDeviceMode_ = multiDeviceMode;
  readingSlots_ = std::move(readingSet);
}

void StatusPanel::FillInitialSecondSelector() {
  state_.secondChoices.assign(kInitialSecondChoices.begin(), kInitialSecondChoices.end());
  state_.secondSelected = -1;
}

int StatusPanel::CurrentSlot() const { return devices_.State().currentSlot; }

const std::string& StatusPanel::Identification(int slot) const {
  static const std::string kNone;
  const auto& d = devices_.Devices();
  return slot >= 0 && slot < static_cast<int>(d.size()) ? d[slot].identification : kNone;
}

std::string StatusPanel::Ask(int slot, const std::string& command) { return devices_.Query().Query(slot, command); }

void StatusPanel::RefreshStatus(int slot) {
  const std::string answer = Ask(slot, "func?\n");
  if (answer.empty()) return;
  const std::string name = NormaliseFunctionAnswer(answer);
  // Range, type and auto-range questions go to the current meter, as do the model tests.
  const int current = CurrentSlot();
  const std::string& id = Identification(current);

  bool recognised = false;
  std::string autoAnswer;
  if (Contains(name, "VOLT:RAT")) {
    recognised = true;
    autoAnswer = Ask(current, RatioRanges(id) ? "VOLT:DC:RAT:RANG:AUTO?\n" : "VOLT:DC:RANG:AUTO?\n");
  } else if (ContainsAny(name, {"CURR", "VOLT", "FRES", "RES", "PER", "FREQ", "CAP"})) {
    if (!Contains(name, "RAT")) {
      recognised = true;
      autoAnswer = Ask(current, name + ":RANGe:AUTO?\n");
    }
  } else if (ContainsAny(name, {"CONT", "DIOD", "TEMP", "TCO"})) {
    recognised = true;
  }
  const bool autoOn = Contains(autoAnswer, "1");

  if (Contains(id, "6081")) state_.secondLabel = "NONE";
  if (!recognised) return;

  const int row = FindFunctionRow(name);
  if (row < 0) return;
  state_.functionText = "Function : " + FunctionCatalogue()[row].shortLabel;
  state_.rangeText = RangeLine(row, name, current, id);
  if (autoOn) state_.rangeText = "Range : AUTO";

  LayoutDisplays();
  if (Contains(id, "6082")) RebuildSecondSelector();
}

std::string StatusPanel::RangeLine(int row, const std::string& name, int slot, const std::string& id) {
  const auto catalogue = FunctionCatalogue();
  const bool autoFlag = functions_.AutoRangeFlag(slot) == 1;
  if (row <= 7 || row == kRatioRow) {
    const std::string rangeName = row == kRatioRow ? (RatioRanges(id) ? "VOLT:DC:RAT" : "VOLT:DC") : name;
    const std::string unit = row == kRatioRow ? catalogue[0].rangeUnit : catalogue[row].rangeUnit;
    const std::string value = FormatRangeValue(LeadingNumber(Ask(slot, rangeName + ":range?\n")));
    if (autoFlag) return "Range : AUTO";
    if (value == "1K" && (name == "FREQ:VOLT" || name == "PER:VOLT" || name == "VOLT:AC")) return "Range : 750 VAC";
    return "Range : " + value + "  " + unit;
  }
  if (row == kTempRow) return "Type : " + Ask(slot, "SENS:TEMP:RTD:TYPE?\n");
  if (row == kTcoRow) return "Type : " + Ask(slot, "SENS:TCO:TYPE?\n");
  if (row == kCapRow) {
    const std::string value = FormatCapacitanceRange(LeadingNumber(Ask(slot, "sens:cap:rang?\n")));
    return autoFlag ? "Range : AUTO" : "Range : " + value + "F";
  }
  return {};
}

void StatusPanel::RebuildSecondSelector() {
  state_.secondActive = false;
  state_.secondChoices.clear();
  state_.secondSelected = -1;
  const int current = CurrentSlot();
  const std::string& id = Identification(current);
  const SecondChoices choices = SecondFunctionChoicesFor(state_.functionText, id);
  if (choices.disabled) {
    state_.secondChooserEnabled = false;
  } else {
    state_.secondChooserEnabled = true;
    const std::string label = SecondFunctionNameToLabel(StripQuotesAndLineFeeds(Ask(current, "func2?\n")));
    const SecondChoiceRow& row = SecondFunctionChoices()[choices.row];
    int m = 0;
    if (label != row.key) {
      auto it = std::find(row.allowed.begin(), row.allowed.end(), label);
      if (it == row.allowed.end()) it = std::find(row.allowed.begin(), row.allowed.end(), "NONE");
      m = static_cast<int>(it - row.allowed.begin()) + 1;
    }
    int tcouplPosition = -1;  // 1-based row position of the entry left out
    if (choices.tcouplLeftOut) {
      auto t = std::find(row.allowed.begin(), row.allowed.end(), "TCOUPL");
      tcouplPosition = static_cast<int>(t - row.allowed.begin()) + 1;
    }
    state_.secondChoices = choices.labels;
    if (m > 0) {
      const int listPosition = tcouplPosition > 0 && m > tcouplPosition ? m - 2 : m - 1;
      if (listPosition >= 0 && listPosition < static_cast<int>(state_.secondChoices.size()))
        state_.secondSelected = listPosition;
    }
  }
  // Nothing selected reads as "NONE": the selector then offers no 2ND reading.
  const std::string answer =
      state_.secondSelected >= 0 ? state_.secondChoices[state_.secondSelected] : std::string("NONE");
  if (!Contains(answer, "NONE")) state_.secondActive = true;
  state_.secondLabel = answer;
  LayoutDisplays();
}

void StatusPanel::SecondFunctionChosen(int index) {
  if (index < 0 || index >= static_cast<int>(state_.secondChoices.size())) return;
  const std::string label = state_.secondChoices[index];
  const int position = SecondFunctionLabelIndex(label);
  const std::string& name = SecondFunctionNames()[position].name;
  if (name == "NONE" && resetTraceSelection) resetTraceSelection();
  Ask(CurrentSlot(), SecondFunctionCommand(label));
  RebuildSecondSelector();
}

void StatusPanel::LayoutDisplays() {
  state_.secondActive = false;
  DeviceListState& rows = devices_.MutableState();
  for (MeterRowState& row : rows.meters) {
    for (ControlState* c : {&row.secondValueDisplay, &row.secondIndicator, &row.secondSelectionButton,
                            &row.secondMarkers})
      c->shown = false;
  }
  std::vector<int> readingSet = readingSlots_;
  if (!multiDeviceMode_) readingSet = CurrentSlot() >= 0 ? std::vector<int>{CurrentSlot()} : std::vector<int>{};
  const int n = std::min<int>(static_cast<int>(readingSet.size()), kMeterPositions);
  for (int d = 0; d < n; ++d) {
    const int slot = readingSet[d];
    MeterRowState& row = rows.meters[d];
    row.hasSecond = false;
    state_.meterTexts[d].mainTagText =
        SecondFunctionNameToLabel(StripQuotesAndLineFeeds(Ask(slot, "func?\n")));
    if (!Contains(Identification(slot), "6082")) continue;
    const std::string label = SecondFunctionNameToLabel(StripQuotesAndLineFeeds(Ask(slot, "func2?\n")));
    if (label == "NONE") continue;
    state_.secondActive = true;
    row.hasSecond = true;
    state_.meterTexts[d].secondTagText = label;
    for (ControlState* c : {&row.secondValueDisplay, &row.secondIndicator, &row.secondSelectionButton,
                            &row.secondMarkers})
      c->shown = true;
  }
}

}  // namespace merilog
