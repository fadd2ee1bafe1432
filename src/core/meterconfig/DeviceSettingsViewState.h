#pragma once
#include <QString>
#include <QStringList>
#include <array>

#include "core/base/ControlState.h"
#include "core/meterconfig/CoefficientPanel.h"

namespace merilog {

// A drop-down list of the dialog with its label (shown and enabled together).
struct ChoiceBoxState {
  ControlState control;
  QString caption;
  QStringList items;
  int selected = -1;
  // Shown while nothing is selected: the meter's setting that the box does not offer.
  QString placeholder;

  QString SelectedText() const { return selected >= 0 && selected < items.size() ? items[selected] : QString(); }
  void Clear() {
    items.clear();
    selected = -1;
    placeholder.clear();
  }
  // Selects the position when the box has it; otherwise nothing is selected.
  void Select(int position) {
    selected = position >= 0 && position < items.size() ? position : -1;
    placeholder.clear();
  }
  // The meter holds a setting (as text) that none of the entries stands for.
  void NotOffered(const QString& meterSetting) {
    selected = -1;
    placeholder = QStringLiteral("Meter: %1 (not offered)").arg(meterSetting);
  }
};

struct CoefficientFieldState {
  bool shown = false;
  QString label;
  QString text;
};

// Everything the Device Settings dialog shows.
struct DeviceSettingsViewState {
  QString title, deviceListCaption, settingsFrameText, functionCaption;
  QString setText, getText, exitText;

  ControlState deviceList, settingsFrame, functionList, setButton, exitButton;
  ControlState getButton{false, true};
  QStringList devices;
  int deviceSelected = -1;
  QStringList functions;
  int functionSelected = -1;

  ChoiceBoxState range, second, transducer;
  ChoiceBoxState secondFunction, secondRange, secondChoice, secondTransducer;
  std::array<CoefficientFieldState, kCoefficientSlots> coefficients;
};

}  // namespace merilog
