#pragma once
#include <array>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/base/Prompter.h"
#include "core/instrument/DeviceHandOver.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/meterconfig/ApplySettings.h"
#include "core/meterconfig/DeviceSettingsViewState.h"
#include "core/meterconfig/ReadBack.h"
#include "core/meterconfig/SettingsCatalogue.h"

namespace merilog {

// The Device Settings dialog: choose a meter and a function, its range or
// sensor, second setting, wiring, sensor coefficients and 2ND function, send
// them (Set) and read the meter's configuration back. The main window keeps one
// for the whole run, so the read-back state outlives an opening.
//
// Every exchange runs on the meter's session thread, in the order the handlers
// name them; the dialog is busy meanwhile and a meter that stops answering ends
// the handler with "Check Device Connection".
class DeviceSettingsModel {
 public:
  explicit DeviceSettingsModel(Prompter& prompter);

  // The device entries of the latest discovery (worker, identification, resource).
  void HandOverDevices(const DeviceHandOver& handOver);

  const DeviceSettingsViewState& View() const { return view_; }
  SettingsModel ModelTag() const { return modelTag_; }
  const ReadBackState& ReadBack() const { return readBack_; }
  bool CapacitanceTo10mF() const { return readBack_.capacitanceTo10mF; }
  const std::array<double, kCoefficientSlots>& CoefficientValues() const { return coefficientValues_; }
  // Whether the last Set put the device's range in AUTO.
  bool AutoFlag(int device) const;
  // How the last Set ended; empty before the first.
  std::optional<ApplyEnd> LastApplyEnd() const { return lastApplyEnd_; }
  // An exchange or a step of a handler is still to come.
  bool Busy() const { return !sequence_.Idle(); }
  // Called whenever the view state changes, and when the dialog becomes idle.
  std::function<void()> onChanged;

  // Handlers. The view passes the position the user chose.
  void OpenDialog(int firstDevice = 0);
  void OnSettingsDeviceSelected(int line);
  void OnFunctionSelected(int position);
  void OnSensorSelected(int position);
  void OnSecondFunctionSelected(int position);
  void SecondChoiceSelected(int position);
  void TransducerSelected(int position);
  void SecondRangeSelected(int position);
  void SecondSettingSelected(int position);
  void SecondTransducerSelected(int position);
  void CoefficientEdited(int slot, const QString& text);
  // Set.
  void ApplySettings();
  void GetMultimeterSetting();
  // Exit: nothing is sent; an exchange under way is forgotten.
  void Close();

 private:
  // A step of a handler, in its place in the order of exchanges.
  void Step(std::function<void()> step);
  template <class R>
  void Exchange(std::function<R(Session*)> procedure, std::function<void(R)> apply);
  void Changed();
  void MeterLost();

  const HandedDevice* SelectedDevice() const;
  bool SelectedIsDual() const;
  QString PrimaryLabel() const;
  // The 2ND functions the selected meter offers with a primary function.
  std::vector<std::string> SecondFunctions(const std::string& primaryLabel) const;
  void SayWhatTheMeterDidNotTake(const ApplyRequest& written);

  void OpenNow(int firstDevice);
  void DeviceSelectedNow();
  void FunctionSelectedNow();
  void SensorSelectedNow(int position);
  void FillSecondPanel(const QString& secondLabel);
  void ReadBackSecondFunctionStep();
  void GetMultimeterSettingNow();
  void ApplyReadBack(const ReadBackResult& r);
  void ApplySecondReadBack(const SecondReadBack& s);
  void ShowCoefficients(const merilog::CoefficientValues& c);
  void HideCoefficients();
  void ApplySettingsNow();
  void SetTexts();
  void DisableAll();
  ApplyRequest CurrentRequest() const;
  void Message(const QString& text, Prompter::Icon icon, Prompter::Buttons buttons);

  Prompter& prompter_;
  DeviceHandOver devices_;
  DeviceSettingsViewState view_;
  SettingsModel modelTag_ = SettingsModel::None;
  ReadBackState readBack_;
  std::array<double, kCoefficientSlots> coefficientValues_{};
  std::array<bool, 8> autoFlags_{};
  std::optional<ApplyEnd> lastApplyEnd_;
  // The choices the boxes showed when the last read-back had run to its end:
  // what the meter holds, as far as the dialog can tell. Set compares against it.
  std::optional<ApplyRequest> readBackChoices_;
  bool readBackPending_ = false;  // a read-back runs; its end sets readBackChoices_
  QString secondReadBack_;        // the 2ND function the last read-back found
  ExchangeSequence sequence_;
};

}  // namespace merilog
