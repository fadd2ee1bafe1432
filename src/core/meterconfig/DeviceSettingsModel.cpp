#include "core/meterconfig/DeviceSettingsModel.h"

#include "core/base/MessageTable.h"
#include "core/base/Text.h"
#include "core/measure/ChartNumberText.h"
#include "core/meterconfig/SecondSettingsCatalogue.h"
#include "core/meterconfig/SettingsLink.h"

namespace merilog {

namespace {

constexpr const char* kDualTag = "6082";
constexpr const char* kBasicTag = "6081";
// The DC current position of "1 Adc", the smallest range a 2ND function allows.
constexpr int kOneAmpPosition = 3;

// Which boxes a function shows: range, second choice, transducer, 2ND function.
struct Visibility {
  bool range, second, transducer, secondFunction;
};
constexpr Visibility kBasicVisibility[kSettingsFunctionCount] = {
    {true, true, false, false},   {true, true, false, false},   {true, true, false, false}, {true, true, false, false},
    {true, true, false, false},   {true, true, false, false},   {true, true, false, false}, {true, true, false, false},
    {false, false, false, false}, {false, false, false, false}, {true, true, true, false},  {true, true, false, false},
    {false, false, false, false}, {true, true, false, false},
};
constexpr Visibility kDualVisibility[kSettingsFunctionCount] = {
    {true, true, false, true},    {true, true, false, true},    {true, true, false, true}, {true, true, false, true},
    {true, true, false, true},    {true, true, false, true},    {true, true, false, true}, {true, true, false, true},
    {false, false, false, false}, {false, false, false, false}, {true, true, true, true},  {true, true, false, false},
    {true, true, false, true},    {true, false, false, true},
};

QStringList ToStringList(const std::vector<std::string>& items) {
  QStringList list;
  for (const std::string& s : items) list << QString::fromStdString(s);
  return list;
}

void Show(ChoiceBoxState& box, bool shown) {
  box.control.shown = shown;
}

}  // namespace

DeviceSettingsModel::DeviceSettingsModel(Prompter& prompter) : prompter_(prompter) {
  sequence_.onIdle = [this] {
    // Once a read-back has run to its end, the boxes show what the meter holds.
    if (readBackPending_) {
      readBackPending_ = false;
      readBackChoices_ = CurrentRequest();
    }
    Changed();
  };
  SetTexts();
  const auto& labels = InitialCoefficientLabels();
  for (int i = 0; i < kCoefficientSlots; ++i) view_.coefficients[i].label = QString::fromStdString(labels[i]);
}

void DeviceSettingsModel::HandOverDevices(const DeviceHandOver& handOver) {
  devices_ = handOver;
}

bool DeviceSettingsModel::AutoFlag(int device) const {
  return device >= 0 && device < static_cast<int>(autoFlags_.size()) && autoFlags_[device];
}

void DeviceSettingsModel::Changed() {
  if (onChanged) onChanged();
}

void DeviceSettingsModel::Step(std::function<void()> step) {
  sequence_.Then([this, step = std::move(step)] {
    step();
    Changed();
  });
}

template <class R>
void DeviceSettingsModel::Exchange(std::function<R(Session*)> procedure, std::function<void(R)> apply) {
  const HandedDevice* device = SelectedDevice();
  sequence_.Ask<R>(device ? device->worker : nullptr, std::move(procedure), [this, apply = std::move(apply)](R r) {
    apply(std::move(r));
    Changed();
  });
}

void DeviceSettingsModel::MeterLost() {
  sequence_.Clear();
  readBackPending_ = false;
  Changed();
  // As the main window reports a meter that stopped answering.
  prompter_.Message(LookupMessage("1001", "Check Device Connection"), QStringLiteral("ERROR"), Prompter::Icon::Stop,
                    Prompter::Buttons::Ok);
}

void DeviceSettingsModel::Message(const QString& text, Prompter::Icon icon, Prompter::Buttons buttons) {
  prompter_.Message(text, QString(), icon, buttons);
}

const HandedDevice* DeviceSettingsModel::SelectedDevice() const {
  const int d = view_.deviceSelected;
  if (d < 0 || d >= static_cast<int>(devices_.devices.size()) || d >= devices_.deviceCount) return nullptr;
  return &devices_.devices[static_cast<std::size_t>(d)];
}

bool DeviceSettingsModel::SelectedIsDual() const {
  const HandedDevice* d = SelectedDevice();
  return d && Contains(d->identification, kDualTag);
}

std::vector<std::string> DeviceSettingsModel::SecondFunctions(const std::string& primaryLabel) const {
  const HandedDevice* d = SelectedDevice();
  return SecondFunctionsFor(primaryLabel, d ? d->identification : std::string());
}

QString DeviceSettingsModel::PrimaryLabel() const {
  const int f = view_.functionSelected;
  return f >= 0 && f < view_.functions.size() ? view_.functions[f] : QString();
}

void DeviceSettingsModel::SetTexts() {
  DeviceSettingsViewState& v = view_;
  v.title = LookupMessage("01", "Device Settings");
  v.deviceListCaption = LookupMessage("84", "Device List");
  v.settingsFrameText = LookupMessage("85", "Settings");
  v.functionCaption = LookupMessage("86", "Function");
  v.setText = LookupMessage("93", "Submit");
  v.getText = LookupMessage("94", "Get Multimeter Setting");
  v.exitText = LookupMessage("95", "Exit");
  v.transducer.caption = v.secondTransducer.caption = QStringLiteral("Transducer");
  v.secondFunction.caption = QStringLiteral("2ND function");
}

// --- Opening and device selection ---

void DeviceSettingsModel::OpenDialog(int firstDevice) {
  Step([this, firstDevice] { OpenNow(firstDevice); });
}

void DeviceSettingsModel::OpenNow(int firstDevice) {
  DeviceSettingsViewState& v = view_;
  if (v.functions.isEmpty())
    for (int f = 0; f < kSettingsFunctionCount; ++f) v.functions << LookedUpFunctionLabel(f);
  SetTexts();
  for (ControlState* c : {&v.deviceList, &v.settingsFrame, &v.functionList, &v.setButton, &v.exitButton}) *c = {};
  for (ChoiceBoxState* b :
       {&v.range, &v.second, &v.transducer, &v.secondFunction, &v.secondRange, &v.secondChoice, &v.secondTransducer})
    b->control.enabled = true;
  v.getButton = {false, true};
  modelTag_ = SettingsModel::None;
  v.devices.clear();
  v.deviceSelected = -1;
  const int count = devices_.deviceCount;
  for (int d = 0; d < count && d < static_cast<int>(devices_.devices.size()); ++d) {
    const HandedDevice& device = devices_.devices[static_cast<std::size_t>(d)];
    v.devices << QString::fromStdString(MakeDeviceDisplayName(device.identification, device.resource));
  }
  if (count == 0) {
    DisableAll();
    v.devices << LookupMessage("1000", "No Device Connected");
    return;
  }
  OnSettingsDeviceSelected(firstDevice >= 0 && firstDevice < v.devices.size() ? firstDevice : 0);
  Step([this] { FunctionSelectedNow(); });
  GetMultimeterSetting();
}

void DeviceSettingsModel::DisableAll() {
  DeviceSettingsViewState& v = view_;
  for (ControlState* c : {&v.settingsFrame, &v.functionList, &v.setButton, &v.getButton}) c->enabled = false;
  for (ChoiceBoxState* b : {&v.range, &v.second, &v.transducer, &v.secondFunction, &v.secondRange, &v.secondChoice})
    b->control.enabled = false;
}

void DeviceSettingsModel::OnSettingsDeviceSelected(int line) {
  Step([this, line] {
    if (line < 0 || line >= devices_.deviceCount) return;
    view_.deviceSelected = line;
    DeviceSelectedNow();
  });
}

void DeviceSettingsModel::DeviceSelectedNow() {
  DeviceSettingsViewState& v = view_;
  readBack_.capacitanceTo10mF = false;
  readBack_.rangePosition = 0;
  readBack_.rangeNotOffered.reset();
  readBack_.secondChoiceNotOffered.reset();
  v.functions.clear();
  v.functionSelected = -1;
  const std::string& id = SelectedDevice()->identification;
  const bool dual = Contains(id, kDualTag);
  if (dual || Contains(id, kBasicTag)) {
    modelTag_ = dual ? SettingsModel::Dual : SettingsModel::Basic;
    for (ChoiceBoxState* b : {&v.secondFunction, &v.secondRange, &v.secondChoice}) Show(*b, dual);
    const int count = dual ? kSettingsFunctionCount : kBasicFunctionCount;
    for (int f = 0; f < count; ++f) v.functions << QString::fromStdString(SettingsEntry(f).label);
  }
  GetMultimeterSetting();
  Step([this] { FunctionSelectedNow(); });
  Step([this] { SensorSelectedNow(view_.range.selected); });
  Step([this] {
    if (SelectedIsDual()) ReadBackSecondFunctionStep();
  });
}

// --- Function, sensor and 2ND function ---

void DeviceSettingsModel::OnFunctionSelected(int position) {
  Step([this, position] {
    view_.functionSelected = position >= 0 && position < view_.functions.size() ? position : -1;
    FunctionSelectedNow();
  });
}

void DeviceSettingsModel::FunctionSelectedNow() {
  DeviceSettingsViewState& v = view_;
  const int f = v.functionSelected;
  const bool dual = SelectedIsDual();
  if (dual) {
    for (ChoiceBoxState* b : {&v.secondFunction, &v.secondRange, &v.secondChoice}) b->Clear();
    v.secondFunction.items = ToStringList(SecondFunctions(PrimaryLabel().toStdString()));
    // A meter that takes no 2ND function with this one is offered none.
    v.secondFunction.control.enabled = !v.secondFunction.items.isEmpty();
    v.secondFunction.Select(static_cast<int>(v.secondFunction.items.size()) - 1);
    Show(v.secondRange, false);
    Show(v.secondChoice, false);
  }
  HideCoefficients();
  for (ChoiceBoxState* b : {&v.range, &v.second, &v.transducer, &v.secondTransducer}) b->Clear();
  v.setButton.enabled = f >= 0 && modelTag_ != SettingsModel::None;
  if (f < 0 || f >= kSettingsFunctionCount) {
    for (ChoiceBoxState* b : {&v.range, &v.second, &v.transducer, &v.secondTransducer}) Show(*b, false);
    return;
  }
  v.range.caption = RangeCaption(f);
  v.second.caption = SecondChoiceCaption(f);
  const Visibility& shown = modelTag_ == SettingsModel::Dual ? kDualVisibility[f] : kBasicVisibility[f];
  Show(v.range, shown.range);
  Show(v.second, shown.second);
  Show(v.transducer, shown.transducer);
  v.transducer.control.enabled = true;
  Show(v.secondTransducer, false);
  if (modelTag_ == SettingsModel::Dual) Show(v.secondFunction, shown.secondFunction);

  if (modelTag_ != SettingsModel::None) {
    const RangeList& list = RangeListFor(f, modelTag_, readBack_.capacitanceTo10mF);
    bool sprtdListed = false;
    for (std::size_t i = 0; i < list.labels.size(); ++i) {
      v.range.items << QString::fromStdString(list.labels[i]);
      if (i < TransducerLabels().size()) {
        v.transducer.items << QString::fromStdString(TransducerLabels()[i]);
        v.secondTransducer.items << QString::fromStdString(TransducerLabels()[i]);
      }
      sprtdListed = sprtdListed || list.labels[i] == "SPRTD";
    }
    // The basic model asks the SPRTD coefficients while listing its sensors, keeping them unshown.
    if (modelTag_ == SettingsModel::Basic && sprtdListed) {
      Exchange<merilog::CoefficientValues>(
          [](Session* s) {
            SettingsLink link(s);
            merilog::CoefficientValues c = QueryCoefficients(link, kSensorSprtd);
            return link.Lost() ? merilog::CoefficientValues{-1, {}} : c;
          },
          [this](merilog::CoefficientValues c) {
            if (c.sensor < 0) return MeterLost();
            coefficientValues_ = c.values;
          });
    }
  }
  if (f == kTemperature) {
    // 1: four-wire, 0: two-wire, -1: the meter stopped answering.
    Exchange<int>(
        [](Session* s) {
          SettingsLink link(s);
          const bool fourWire = link.Query("SENS:TEMPerature:TRANsducer?\n") == "FRTD";
          return link.Lost() ? -1 : fourWire ? 1 : 0;
        },
        [this](int fourWire) {
          if (fourWire < 0) return MeterLost();
          readBack_.primaryFourWire = fourWire;
        });
  }
  Step([this, f] {
    DeviceSettingsViewState& v = view_;
    v.second.items = SecondChoiceItems(f, modelTag_);
    if (!v.range.items.isEmpty()) {
      int index = readBack_.rangePosition;
      if (modelTag_ == SettingsModel::Basic && f == kTemperature) index = BoxPositionFromSensor(index, modelTag_);
      v.range.Select(index);
      const int sensorPosition = v.range.selected;
      Step([this, sensorPosition] { SensorSelectedNow(sensorPosition); });
      if (v.range.items.size() < index + 1) v.range.Select(0);
    }
    v.second.Select(readBack_.secondChoicePosition < v.second.items.size() ? readBack_.secondChoicePosition : 0);
    // On the meter's own function, a setting the boxes do not offer is shown as such, never as another.
    if (f == readBack_.functionIndex) {
      if (readBack_.rangeNotOffered && !v.range.items.isEmpty())
        v.range.NotOffered(QString::fromStdString(*readBack_.rangeNotOffered));
      if (readBack_.secondChoiceNotOffered && !v.second.items.isEmpty())
        v.second.NotOffered(QString::fromStdString(*readBack_.secondChoiceNotOffered));
    }
    if (modelTag_ == SettingsModel::Dual && f == readBack_.functionIndex) ReadBackSecondFunctionStep();
    v.transducer.Select(readBack_.primaryFourWire ? 1 : 0);
    v.secondTransducer.Select(readBack_.secondFourWire ? 1 : 0);
  });
}

void DeviceSettingsModel::OnSensorSelected(int position) {
  Step([this, position] {
    view_.range.Select(position);
    SensorSelectedNow(view_.range.selected);
  });
}

void DeviceSettingsModel::HideCoefficients() {
  for (CoefficientFieldState& c : view_.coefficients) c.shown = false;
}

void DeviceSettingsModel::ShowCoefficients(const merilog::CoefficientValues& c) {
  const CoefficientLayout* layout = CoefficientLayoutFor(c.sensor);
  if (!layout) return;
  for (const CoefficientField& field : layout->fields) {
    const auto slot = static_cast<std::size_t>(field.slot);
    coefficientValues_[slot] = c.values[slot];
    view_.coefficients[slot].text = QString::fromStdString(CoefficientText(c.values[slot]));
  }
}

void DeviceSettingsModel::SensorSelectedNow(int position) {
  const int sensor = SensorFromBoxPosition(position, modelTag_);
  const CoefficientLayout* layout = view_.functionSelected == kTemperature ? CoefficientLayoutFor(sensor) : nullptr;
  HideCoefficients();
  if (!layout) return;
  for (const CoefficientField& field : layout->fields) {
    CoefficientFieldState& c = view_.coefficients[static_cast<std::size_t>(field.slot)];
    c.shown = true;
    c.label = QString::fromStdString(field.label);
  }
  Exchange<merilog::CoefficientValues>(
      [sensor](Session* s) {
        SettingsLink link(s);
        merilog::CoefficientValues c = QueryCoefficients(link, sensor);
        return link.Lost() ? merilog::CoefficientValues{-1, {}} : c;
      },
      [this](merilog::CoefficientValues c) {
        if (c.sensor < 0) return MeterLost();
        ShowCoefficients(c);
      });
}

void DeviceSettingsModel::OnSecondFunctionSelected(int position) {
  Step([this, position] {
    view_.secondFunction.Select(position);
    FillSecondPanel(view_.secondFunction.SelectedText());
  });
}

void DeviceSettingsModel::FillSecondPanel(const QString& secondLabel) {
  DeviceSettingsViewState& v = view_;
  const QString primary = PrimaryLabel();
  v.secondRange.Clear();
  v.secondChoice.Clear();
  const SecondPanelLists lists = SecondPanelListsFor(secondLabel.toStdString(), readBack_.capacitanceTo10mF);
  if (lists.none) {
    for (ChoiceBoxState* b : {&v.secondRange, &v.secondChoice, &v.secondTransducer}) Show(*b, false);
    return;
  }
  v.secondRange.items = ToStringList(lists.rangeItems);
  v.secondRange.Select(0);
  Show(v.secondRange, true);
  Show(v.secondChoice, true);
  Show(v.secondTransducer, false);
  v.secondRange.caption = QString::fromStdString(lists.rangeCaption);
  if (!lists.secondShown) {
    Show(v.secondChoice, false);
    return;
  }
  if (primary.contains("TCO") && secondLabel.contains("TEMP")) {
    v.secondTransducer.control = {true, true};
    Show(v.transducer, false);
  }
  if (primary.contains("TEMP") && secondLabel.contains("TCO")) {
    v.secondTransducer.control = {false, false};
    Show(v.transducer, true);
  }
  v.secondChoice.caption = QString::fromStdString(lists.secondCaption);
  v.secondChoice.items = ToStringList(lists.secondItems);
  v.secondChoice.control.enabled = true;
  v.secondChoice.Select(0);
}

void DeviceSettingsModel::SecondChoiceSelected(int position) {
  Step([this, position] { view_.second.Select(position); });
}
void DeviceSettingsModel::TransducerSelected(int position) {
  Step([this, position] { view_.transducer.Select(position); });
}
void DeviceSettingsModel::SecondRangeSelected(int position) {
  Step([this, position] { view_.secondRange.Select(position); });
}
void DeviceSettingsModel::SecondSettingSelected(int position) {
  Step([this, position] { view_.secondChoice.Select(position); });
}
void DeviceSettingsModel::SecondTransducerSelected(int position) {
  Step([this, position] { view_.secondTransducer.Select(position); });
}
void DeviceSettingsModel::CoefficientEdited(int slot, const QString& text) {
  if (slot < 0 || slot >= kCoefficientSlots) return;
  Step([this, slot, text] { view_.coefficients[static_cast<std::size_t>(slot)].text = text; });
}

// --- Read-back ---

void DeviceSettingsModel::GetMultimeterSetting() {
  Step([this] { GetMultimeterSettingNow(); });
}

void DeviceSettingsModel::GetMultimeterSettingNow() {
  const HandedDevice* device = SelectedDevice();
  if (!device) return;
  readBackPending_ = true;
  ReadBackRequest request;
  request.model = modelTag_;
  request.hewl = device->identification.rfind("HEWL", 0) == 0;
  request.capacitanceTo10mF = readBack_.capacitanceTo10mF;
  Exchange<ReadBackResult>([request](Session* s) { return ReadBackSettings(s, request); },
                           [this](ReadBackResult r) {
                             ApplyReadBack(r);
                             if (r.lost) MeterLost();
                           });
  Step([this] {
    if (SelectedIsDual()) ReadBackSecondFunctionStep();
  });
}

void DeviceSettingsModel::ApplyReadBack(const ReadBackResult& r) {
  DeviceSettingsViewState& v = view_;
  if (!r.function) return;
  if (*r.function < v.functions.size()) v.functionSelected = *r.function;
  readBack_.functionIndex = *r.function;
  readBack_.secondChoicePosition = r.secondChoice.value_or(0);
  readBack_.secondChoiceNotOffered = r.secondChoiceNotOffered;
  readBack_.rangeNotOffered = r.rangeNotOffered;
  if (r.secondChoiceFound) v.second.Select(*r.secondChoice);
  if (r.secondChoiceNotOffered) v.second.NotOffered(QString::fromStdString(*r.secondChoiceNotOffered));
  if (r.capacitanceTo10mF) readBack_.capacitanceTo10mF = *r.capacitanceTo10mF;
  if (r.primaryFourWire) readBack_.primaryFourWire = *r.primaryFourWire;
  if (r.second) ApplySecondReadBack(*r.second);
  if (r.rangePosition) readBack_.rangePosition = *r.rangePosition;
  if (r.rangeBoxPosition && *r.rangeBoxPosition < v.range.items.size()) v.range.Select(*r.rangeBoxPosition);
  if (r.rangeNotOffered) v.range.NotOffered(QString::fromStdString(*r.rangeNotOffered));
  if (r.coefficients) ShowCoefficients(*r.coefficients);
}

void DeviceSettingsModel::ReadBackSecondFunctionStep() {
  DeviceSettingsViewState& v = view_;
  const std::string primary = PrimaryLabel().toStdString();
  for (ChoiceBoxState* b : {&v.secondFunction, &v.secondRange, &v.secondChoice}) b->Clear();
  v.secondFunction.items = ToStringList(SecondFunctions(primary));
  const bool capacitanceTo10mF = readBack_.capacitanceTo10mF;
  Exchange<std::pair<SecondReadBack, bool>>(
      [primary, capacitanceTo10mF](Session* s) {
        bool lost = false;
        SecondReadBack r = ReadBackSecondFunction(s, primary, capacitanceTo10mF, &lost);
        return std::make_pair(r, lost);
      },
      [this](std::pair<SecondReadBack, bool> r) {
        if (r.second) return MeterLost();
        ApplySecondReadBack(r.first);
      });
}

void DeviceSettingsModel::ApplySecondReadBack(const SecondReadBack& s) {
  DeviceSettingsViewState& v = view_;
  v.secondFunction.items = ToStringList(SecondFunctions(s.primaryLabel));
  const QString label =
      QString::fromStdString(SecondSettingsEntries()[static_cast<std::size_t>(s.functionPosition)].label);
  secondReadBack_ = label;
  v.secondFunction.Select(v.secondFunction.items.indexOf(label));
  FillSecondPanel(label);
  if (s.rangePosition) v.secondRange.Select(*s.rangePosition);
  if (s.rangeNotOffered) v.secondRange.NotOffered(QString::fromStdString(*s.rangeNotOffered));
  if (s.secondPosition) v.secondChoice.Select(*s.secondPosition);
  if (s.secondNotOffered) v.secondChoice.NotOffered(QString::fromStdString(*s.secondNotOffered));
}

// --- Set ---

void DeviceSettingsModel::ApplySettings() {
  Step([this] { ApplySettingsNow(); });
}

ApplyRequest DeviceSettingsModel::CurrentRequest() const {
  const DeviceSettingsViewState& v = view_;
  ApplyRequest r;
  r.model = modelTag_;
  r.hewl = SelectedDevice() && SelectedDevice()->identification.rfind("HEWL", 0) == 0;
  r.capacitanceTo10mF = readBack_.capacitanceTo10mF;
  r.function = v.functionSelected;
  r.primaryLabel = PrimaryLabel().toStdString();
  r.range = v.range.selected;
  r.second = v.second.selected;
  r.transducer = std::max(v.transducer.selected, 0);
  r.secondTransducer = std::max(v.secondTransducer.selected, 0);
  r.secondRange = v.secondRange.selected;
  // A hidden 2ND box may still hold another meter's entries; it chooses nothing.
  const QString secondLabel = v.secondFunction.control.shown ? v.secondFunction.SelectedText() : QString();
  r.secondLabel = secondLabel.isEmpty() ? "NONE" : secondLabel.toStdString();
  r.secondRangeLabel = v.secondRange.SelectedText().toStdString();
  r.secondChoiceText = v.secondChoice.SelectedText().toStdString();
  for (int i = 0; i < kCoefficientSlots; ++i) {
    bool ok = false;
    const double value = v.coefficients[static_cast<std::size_t>(i)].text.trimmed().toDouble(&ok);
    if (ok) r.coefficients[static_cast<std::size_t>(i)] = value;
  }
  return r;
}

void DeviceSettingsModel::ApplySettingsNow() {
  const HandedDevice* device = SelectedDevice();
  if (!device || view_.functionSelected < 0 || modelTag_ == SettingsModel::None) return;
  ApplyRequest r = CurrentRequest();
  // Nothing chosen since the meter was read: Set never changes the meter then
  // (not even by the 1 A move below); it reads the meter again instead.
  if (readBackChoices_ && r == *readBackChoices_) {
    lastApplyEnd_ = ApplyEnd::Unchanged;
    GetMultimeterSetting();
    return;
  }
  readBack_.primaryFourWire = r.transducer;
  readBack_.secondFourWire = r.secondTransducer;
  if (modelTag_ == SettingsModel::Dual && r.secondLabel != "NONE" && r.function == kDcCurrent && r.range >= 0 &&
      r.range < kOneAmpPosition) {
    r.range = kOneAmpPosition;
    view_.range.Select(kOneAmpPosition);
    Changed();
    Message(QStringLiteral("When 2ND function is activated, the DCI range must set between 1A to 10A.\n"
                           "The Range will be set to 1A.\n"),
            Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
  }
  if (modelTag_ == SettingsModel::Basic && r.function == kThermocouple) {
    lastApplyEnd_ = ApplyEnd::Refused;
    Message(QStringLiteral("Not support TCOUPLE.\n"), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return;
  }
  for (int i = 0; i < kCoefficientSlots; ++i)
    if (r.coefficients[static_cast<std::size_t>(i)])
      coefficientValues_[static_cast<std::size_t>(i)] = *r.coefficients[static_cast<std::size_t>(i)];
  const int deviceIndex = view_.deviceSelected;
  // What the meter was read to hold no longer stands once Set has written; a read-back tells again.
  readBackChoices_.reset();
  Exchange<ApplyOutcome>([r](Session* s) { return merilog::ApplySettings(s, r); },
                         [this, deviceIndex, r](ApplyOutcome o) {
                           lastApplyEnd_ = o.end;
                           if (o.autoRange && deviceIndex >= 0 && deviceIndex < static_cast<int>(autoFlags_.size()))
                             autoFlags_[static_cast<std::size_t>(deviceIndex)] = *o.autoRange;
                           if (o.end == ApplyEnd::Lost) return MeterLost();
                           if (o.message) {
                             const ApplyMessage& m = *o.message;
                             const QString english = QString::fromStdString(m.text);
                             Message(m.key.empty() ? english : LookupMessage(QString::fromStdString(m.key), english),
                                     m.warning ? Prompter::Icon::Exclamation : Prompter::Icon::None,
                                     m.okCancel ? Prompter::Buttons::OkCancel : Prompter::Buttons::Ok);
                           }
                           if (o.end != ApplyEnd::ReadBack) return;
                           GetMultimeterSetting();
                           Step([this, r] { SayWhatTheMeterDidNotTake(r); });
                         });
}

void DeviceSettingsModel::SayWhatTheMeterDidNotTake(const ApplyRequest& written) {
  // Set confirms the function but not the 2ND function: a meter may refuse one
  // without a word, and the read-back then shows another.
  const DeviceSettingsViewState& v = view_;
  const QString function = QString::fromStdString(SettingsEntry(written.function).label);
  if (PrimaryLabel() != function) {
    Message(QStringLiteral("The meter did not take the function %1: it reports %2.").arg(function, PrimaryLabel()),
            Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return;
  }
  if (modelTag_ != SettingsModel::Dual || !v.secondFunction.control.shown) return;
  const QString second = QString::fromStdString(written.secondLabel);
  if (!secondReadBack_.isEmpty() && secondReadBack_ != second)
    Message(QStringLiteral("The meter did not take the 2ND function %1: it reports %2.").arg(second, secondReadBack_),
            Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void DeviceSettingsModel::Close() {
  sequence_.Clear();
  readBackPending_ = false;
  Changed();
}

}  // namespace merilog
