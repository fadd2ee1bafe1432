#include "core/measure/StatusPanel.h"

#include <algorithm>
#include <array>

#include "core/base/Text.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/instrument/QueryDevice.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/ConfigureFunction.h"
#include "core/measure/FunctionCatalogue.h"
#include "core/measure/ModelClass.h"
#include "core/measure/RangeText.h"
#include "core/measure/SecondFunction.h"

namespace merilog {

namespace {

constexpr int kRatioRow = 11;
constexpr int kTempRow = 10, kTcoRow = 12, kCapRow = 13;

bool RatioRanges(const std::string& identification) {
  return IsModelClass(identification, ModelClass::RatioCapable);
}

// The selector before its first rebuild.
constexpr std::array<const char*, 12> kInitialSecondChoices{"NONE", "DCV",    "DCI",  "ACV",    "ACI",  "2W",
                                                            "4W",   "PERIOD", "FREQ", "TCOUPL", "TEMP", "CAP"};

void SetShown(std::initializer_list<ControlState*> controls, bool shown) {
  for (ControlState* c : controls) c->shown = shown;
}

}  // namespace

StatusPanel::StatusPanel(DeviceListModel& devices, const SlotFunctionState& functions, ExchangeSequence& sequence,
                         std::function<ReadingSet()> readingSet)
    : devices_(devices), functions_(functions), sequence_(sequence), readingSet_(std::move(readingSet)) {
  state_.secondChoices.assign(kInitialSecondChoices.begin(), kInitialSecondChoices.end());
  for (int i = 0; i < kMeterPositions; ++i) {
    MeterRowState& row = state_.meters[i];
    row.nameText = "Multimeter Device -- " + std::to_string(i + 1);
    HideSecondGroup(row);
    // Only the first meter's row is visible until a reading mode says otherwise.
    if (i > 0)
      SetShown({&row.nameLabel, &row.indicator, &row.valueDisplay, &row.mainMarker, &row.selectionButton}, false);
  }
  state_.meters[0].mainTagText = "MAIN";
}

const std::string& StatusPanel::Identification(int slot) const {
  return devices_.Identification(slot);
}

void StatusPanel::Ask(int slot, std::string command, std::function<void(std::string)> apply) {
  sequence_.Ask<std::string>(
      devices_.Worker(slot),
      [command = std::move(command)](Session* s) { return QueryDevice(s, QueryForm::MainWindow, command).text; },
      std::move(apply));
}

void StatusPanel::RefreshStatus(int slot) {
  // Range, type and auto-range questions go to the current meter, as do the model tests.
  const int current = devices_.CurrentSlot();
  Ask(slot, "func?\n", [this, current](std::string answer) {
    if (answer.empty()) return;
    const std::string name = NormaliseFunctionAnswer(answer);
    const std::string& id = Identification(current);
    bool recognised = false;
    std::string autoQuestion;
    if (!IsFunctionName(name)) {
      // A garbled answer never goes back inside a command: the function stays unknown.
    } else if (Contains(name, "VOLT:RAT")) {
      recognised = true;
      autoQuestion = RatioRanges(id) ? "VOLT:DC:RAT:RANG:AUTO?\n" : "VOLT:DC:RANG:AUTO?\n";
    } else if (ContainsAny(name, {"CURR", "VOLT", "FRES", "RES", "PER", "FREQ", "CAP"})) {
      if (!Contains(name, "RAT")) {
        recognised = true;
        autoQuestion = name + ":RANGe:AUTO?\n";
      }
    } else if (ContainsAny(name, {"CONT", "DIOD", "TEMP", "TCO"})) {
      recognised = true;
    }
    auto decide = [this, recognised, name, current](bool autoOn) {
      if (Contains(Identification(current), "6081")) state_.secondLabel = "NONE";
      if (!recognised) return;
      const int row = FindFunctionRow(name);
      if (row >= 0) ShowStatus(row, name, current, autoOn);
    };
    if (autoQuestion.empty()) return decide(false);
    Ask(current, autoQuestion, [decide](std::string a) { decide(Contains(a, "1")); });
  });
}

void StatusPanel::ShowStatus(int row, const std::string& name, int slot, bool autoOn) {
  const auto catalogue = FunctionCatalogue();
  const bool autoFlag = functions_.AutoRangeFlag(slot) == 1;
  const std::string& id = Identification(slot);
  auto show = [this, row, slot, autoOn](std::string range) {
    state_.functionText = "Function : " + FunctionCatalogue()[row].shortLabel;
    state_.rangeText = autoOn ? "Range : AUTO" : std::move(range);
    LayoutDisplays();
    if (Contains(Identification(slot), "6082")) RebuildSecondSelector();
  };
  if (row <= 7 || row == kRatioRow) {
    const std::string rangeName = row == kRatioRow ? (RatioRanges(id) ? "VOLT:DC:RAT" : "VOLT:DC") : name;
    const std::string unit = row == kRatioRow ? catalogue[0].rangeUnit : catalogue[row].rangeUnit;
    Ask(slot, rangeName + ":range?\n", [show, autoFlag, name, unit](std::string answer) {
      const std::string value = FormatRangeValue(LeadingNumber(answer));
      if (autoFlag) return show("Range : AUTO");
      // The 750 V range answers 1000 on some meters and 750 on others.
      if ((value == "1K" || value == "750") && (name == "FREQ:VOLT" || name == "PER:VOLT" || name == "VOLT:AC"))
        return show("Range : 750 VAC");
      show("Range : " + value + "  " + unit);
    });
  } else if (row == kTempRow || row == kTcoRow) {
    Ask(slot, row == kTempRow ? "SENS:TEMP:RTD:TYPE?\n" : "SENS:TCO:TYPE?\n",
        [show](std::string answer) { show("Type : " + answer); });
  } else if (row == kCapRow) {
    Ask(slot, "sens:cap:rang?\n", [show, autoFlag](std::string answer) {
      show(autoFlag ? "Range : AUTO" : "Range : " + FormatCapacitanceRange(LeadingNumber(answer)) + "F");
    });
  } else {
    show({});
  }
}

void StatusPanel::RebuildSecondSelector() {
  sequence_.Then([this] { Rebuild(); });
}

void StatusPanel::Rebuild() {
  state_.secondActive = false;
  state_.secondChoices.clear();
  state_.secondSelected = -1;
  const int current = devices_.CurrentSlot();
  const SecondChoices choices = SecondFunctionChoicesFor(state_.functionText, Identification(current));
  state_.secondChooser.enabled = !choices.disabled;
  auto finish = [this] {
    // Nothing selected reads as "NONE": the selector then offers no 2ND reading.
    const std::string answer =
        state_.secondSelected >= 0 ? state_.secondChoices[state_.secondSelected] : std::string("NONE");
    if (!Contains(answer, "NONE")) state_.secondActive = true;
    state_.secondLabel = answer;
    LayoutDisplays();
  };
  if (choices.disabled) return finish();
  Ask(current, "func2?\n", [this, choices, finish](std::string answer) {
    const std::string label = SecondFunctionNameToLabel(StripQuotesAndLineFeeds(answer));
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
    finish();
  });
}

void StatusPanel::SecondFunctionChosen(int index, std::function<void()> noneChosen) {
  sequence_.Then([this, index, noneChosen = std::move(noneChosen)] {
    if (index < 0 || index >= static_cast<int>(state_.secondChoices.size())) return;
    const std::string label = state_.secondChoices[index];
    if (SecondFunctionLabelToName(label) == "NONE" && noneChosen) noneChosen();
    Ask(devices_.CurrentSlot(), SecondFunctionCommand(label), [](std::string) {});
    RebuildSecondSelector();
  });
}

void StatusPanel::HideSecondGroup(MeterRowState& row) {
  SetShown({&row.secondValueDisplay, &row.secondIndicator, &row.secondSelectionButton, &row.secondMarkers}, false);
}

void StatusPanel::LayoutDisplays() {
  sequence_.Then([this] { Layout(); });
}

void StatusPanel::Layout() {
  state_.secondActive = false;
  for (MeterRowState& row : state_.meters) HideSecondGroup(row);
  const ReadingSet set = readingSet_ ? readingSet_() : ReadingSet{};
  std::vector<int> meters = set.positionSlots;
  if (!set.multiDeviceMode) {
    const int current = devices_.CurrentSlot();
    meters = current >= 0 ? std::vector<int>{current} : std::vector<int>{};
  }
  const int n = std::min<int>(static_cast<int>(meters.size()), kMeterPositions);
  for (int d = 0; d < n; ++d) {
    const int slot = meters[d];
    state_.meters[d].hasSecond = false;
    Ask(slot, "func?\n", [this, d, slot](std::string function) {
      MeterRowState& row = state_.meters[d];
      row.mainTagText = SecondFunctionNameToLabel(StripQuotesAndLineFeeds(function));
      if (!Contains(Identification(slot), "6082")) return;
      Ask(slot, "func2?\n", [this, d](std::string second) {
        MeterRowState& row = state_.meters[d];
        const std::string label = SecondFunctionNameToLabel(StripQuotesAndLineFeeds(second));
        if (label == "NONE") return;
        state_.secondActive = true;
        row.hasSecond = true;
        row.secondTagText = label;
        SetShown({&row.secondValueDisplay, &row.secondIndicator, &row.secondSelectionButton, &row.secondMarkers}, true);
      });
    });
  }
}

void StatusPanel::AdaptToMeter(std::string_view shortName, bool singleDeviceMode) {
  const auto& a = FindFunctionControlAdaptation(shortName, singleDeviceMode);
  ApplyControlChange(a.capButton, state_.capButton);
  ApplyControlChange(a.tcouplButton, state_.tcouplButton);
  ApplyControlChange(a.measurementFunctionLabel, state_.measurementFunctionLabel);
  ApplyControlChange(a.secondMarkers, state_.secondMarkers);
  ApplyControlChange(a.secondChooser, state_.secondChooser);
}

void StatusPanel::ShowNoMeter(bool afterRefresh) {
  MeterRowState& first = state_.meters[0];
  SetShown({&state_.measurementFunctionLabel, &state_.secondMarkers, &first.nameLabel, &first.indicator,
            &first.valueDisplay, &first.mainMarker},
           false);
  state_.secondChooser.shown = true;
  if (afterRefresh) {
    first.secondIndicator.shown = false;
    state_.functionText.clear();
    state_.rangeText.clear();
  } else {
    first.selectionButton.shown = false;
  }
}

void StatusPanel::ShowFirstMeter(bool afterRefresh) {
  MeterRowState& first = state_.meters[0];
  SetShown({&first.indicator, &first.valueDisplay, &first.mainMarker}, true);
  if (afterRefresh) first.nameLabel.shown = true;
}

void StatusPanel::ResetDisplays() {
  for (MeterRowState& row : state_.meters) {
    row.hasSecond = false;
    HideSecondGroup(row);
    row.valueText = "0";
    row.secondValueText = "0";
  }
  state_.secondActive = false;
}

void StatusPanel::HideRowsAfterFirst() {
  for (int d = 1; d < kMeterPositions; ++d) {
    MeterRowState& row = state_.meters[d];
    SetShown({&row.nameLabel, &row.valueDisplay, &row.indicator, &row.selectionButton, &row.mainMarker}, false);
  }
}

void StatusPanel::ShowRow(int position, std::string name) {
  if (position < 0 || position >= kMeterPositions) return;
  MeterRowState& row = state_.meters[position];
  SetShown({&row.nameLabel, &row.valueDisplay, &row.indicator, &row.selectionButton, &row.mainMarker}, true);
  if (!name.empty()) row.nameText = std::move(name);
}

void StatusPanel::SetFirstRowName(std::string name) {
  state_.meters[0].nameText = std::move(name);
}

void StatusPanel::ResetFirstValue() {
  state_.meters[0].valueText = "0";
}

void StatusPanel::ShowReading(int position, std::string mainText, std::string secondText) {
  if (position < 0 || position >= kMeterPositions) return;
  state_.meters[position].valueText = std::move(mainText);
  state_.meters[position].secondValueText = std::move(secondText);
}

}  // namespace merilog
