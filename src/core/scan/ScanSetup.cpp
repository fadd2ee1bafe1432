#include "core/scan/ScanSetup.h"

#include <algorithm>

#include "core/base/Clock.h"
#include "core/base/Prompter.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/NumericText.h"
#include "core/scan/ScanFunctionTable.h"

namespace merilog {

namespace {

constexpr float kMaxTimerSeconds = 60;
constexpr int kMaxScanCount = 2000;
constexpr int kMinNScans = 1;
constexpr int kMaxNScans = 200;

double FieldNumber(const QString& text) {
  return LeadingNumber(text.toStdString());
}

// An integer field's value as the exchange reads it; far outside any range
// stays far outside, without overflowing.
int FieldInteger(const QString& text) {
  return static_cast<int>(std::clamp(FieldNumber(text), -1e9, 1e9));
}

QString FloatFieldText(float v) {
  return QString::number(static_cast<double>(v), 'g', 6);
}

QString ShuntFieldText(double v) {
  return v == 0 ? QStringLiteral("0") : QString::fromStdString(TrimmedNumberText(v));
}

bool EndsUnfinished(const QString& text) {
  return text.endsWith('.') || text.endsWith('E') || text.endsWith('e') || text.endsWith('-');
}

}  // namespace

ScanSetup::ScanSetup(Prompter& prompter, const Clock& clock) : prompter_(prompter), clock_(clock) {
  ResetSchedule();
  SetDefaults();
}

const ChannelConfig& ScanSetup::Channel(int channel) const {
  static const ChannelConfig kNone{};
  return channel >= 0 && channel < kMaxScanChannels ? channels_[static_cast<std::size_t>(channel)] : kNone;
}

ChannelFunctions ScanSetup::Functions() const {
  ChannelFunctions f{};
  for (int c = 0; c < kMaxScanChannels; ++c)
    f[static_cast<std::size_t>(c)] = channels_[static_cast<std::size_t>(c)].functionIndex;
  return f;
}

void ScanSetup::SetAllShunts(double r) {
  for (ChannelConfig& c : channels_) c.shuntR = r;
}

void ScanSetup::LoadCard(int channelCount, const std::vector<std::string>& functionAnswers,
                         const std::string& firstChannelAgain) {
  channelCount_ = channelCount == 20 ? 20 : 10;
  for (int c = 0; c < channelCount_; ++c) {
    ChannelConfig& config = channels_[static_cast<std::size_t>(c)];
    config.functionIndex = c < static_cast<int>(functionAnswers.size())
                               ? ScanFunctionFromAnswer(functionAnswers[static_cast<std::size_t>(c)])
                               : kScanNone;
    config.shuntR = 0;
    config.currentOffset = 0;
  }
  shuntRText_ = currentOffsetText_ = QStringLiteral("0");
  currentChannel_ = 0;
  functionSelected_ = ScanFunctionFromAnswer(firstChannelAgain);
  currentFieldsShown_ = false;
}

QStringList ScanSetup::ChannelItems() const {
  QStringList items;
  for (int c = 1; c <= channelCount_; ++c) items << QStringLiteral("CH%1").arg(c);
  return items;
}

void ScanSetup::ScanChannelChosen(int channel) {
  if (!InCard(channel)) return;
  currentChannel_ = channel;
  const ChannelConfig& config = Current();
  functionSelected_ = config.functionIndex;
  currentFieldsShown_ = IsCurrentFunction(config.functionIndex);
  if (currentFieldsShown_) {
    shuntRText_ = ShuntFieldText(config.shuntR);
    currentOffsetText_ = ShuntFieldText(config.currentOffset);
  } else {
    shuntRText_ = currentOffsetText_ = QStringLiteral("0");
  }
}

QStringList ScanSetup::FunctionItems() const {
  QStringList items;
  for (const ScanFunction& f : ScanFunctionTable()) items << QString::fromLatin1(f.label);
  // The upper half of the card carries the sense leads of 4W pairs; it cannot be one.
  if (currentChannel_ >= channelCount_ / 2) items.removeLast();
  return items;
}

int ScanSetup::FunctionSelected() const {
  return functionSelected_ >= 0 && functionSelected_ < FunctionItems().size() ? functionSelected_ : -1;
}

bool ScanSetup::FunctionChooserEnabled() const {
  return !IsSenseChannel(currentChannel_, Functions(), channelCount_);
}

void ScanSetup::ScanFunctionChosen(int index) {
  if (index < 0 || index >= FunctionItems().size() || !FunctionChooserEnabled()) return;
  Current().functionIndex = index;
  functionSelected_ = index;
  if (IsCurrentFunction(index))
    ScanChannelChosen(currentChannel_);
  else
    currentFieldsShown_ = false;
}

void ScanSetup::NumberEdited(QString* text, double ChannelConfig::*field, const QString& name, const QString& edited) {
  *text = edited;
  const NumericTextVerdict verdict = CheckNumericText(edited.toStdString());
  if (verdict != NumericTextVerdict::Valid) {
    prompter_.Message(QStringLiteral("The value of \"%1\" is error.").arg(name),
                      verdict == NumericTextVerdict::Repeated ? QStringLiteral(".") : QString(), Prompter::Icon::None,
                      Prompter::Buttons::Ok);
    *text = QString::fromStdString(FixedText(FieldNumber(edited), 2));
  }
  Current().*field = FieldNumber(edited);
}

void ScanSetup::ShuntREdited(const QString& text) {
  NumberEdited(&shuntRText_, &ChannelConfig::shuntR, QStringLiteral("R"), text);
}

void ScanSetup::CurrentOffsetEdited(const QString& text) {
  NumberEdited(&currentOffsetText_, &ChannelConfig::currentOffset, QStringLiteral("I"), text);
}

void ScanSetup::DemoteUnshuntedCurrents() {
  for (int c = 0; c < channelCount_; ++c) {
    ChannelConfig& config = channels_[static_cast<std::size_t>(c)];
    if (config.shuntR != 0) continue;
    if (config.functionIndex == kScanDci) config.functionIndex = kScanDcv;
    if (config.functionIndex == kScanAci) config.functionIndex = kScanAcv;
  }
  if (!IsCurrentFunction(Current().functionIndex) && IsCurrentFunction(functionSelected_)) {
    functionSelected_ = Current().functionIndex;
    currentFieldsShown_ = false;
  }
}

bool ScanSetup::ShownCurrentLacksShunt() const {
  return IsCurrentFunction(functionSelected_) && FieldNumber(shuntRText_) == 0;
}

void ScanSetup::ResetSchedule() {
  QDateTime now = clock_.Now();
  now.setTime(QTime(now.time().hour(), now.time().minute(), now.time().second()));
  atTime_ = stopTime_ = now;
  interval_ = QTime(0, 0, 10);
  atTimeChecked_ = stopTimeChecked_ = perScanChecked_ = stopAfterNChecked_ = false;
  stepMode_ = false;
}

void ScanSetup::SetDefaults() {
  timerSeconds_ = 0.5f;
  timerText_ = FloatFieldText(timerSeconds_);
  SetScanCount(channelCount_);
  nScans_ = 1;
  nText_ = QString::number(nScans_);
}

void ScanSetup::TimerEdited(const QString& text) {
  timerText_ = text;
  if (!EndsUnfinished(text)) ExchangeFields(false);
}

void ScanSetup::ScanCountEdited(const QString& text) {
  scanCountText_ = text;
  ExchangeFields(false);
}

void ScanSetup::NEdited(const QString& text) {
  nText_ = text;
}

void ScanSetup::StepN(int step) {
  nScans_ = std::clamp(FieldInteger(nText_) + step, kMinNScans, kMaxNScans);
  nText_ = QString::number(nScans_);
}

void ScanSetup::StopTimeToggled(bool checked) {
  stopTimeChecked_ = checked && StopTimeEnabled();
}

void ScanSetup::PerScanIntervalToggled(bool checked) {
  perScanChecked_ = checked;
  if (!checked) stopTimeChecked_ = false;
}

void ScanSetup::StopAfterNToggled(bool checked) {
  stopAfterNChecked_ = checked;
  if (checked) stopTimeChecked_ = false;
}

const QDateTime& ScanSetup::Moment(ScanPicker picker) const {
  return picker == ScanPicker::AtTime ? atTime_ : stopTime_;
}

void ScanSetup::SetMoment(ScanPicker picker, const QDateTime& moment) {
  (picker == ScanPicker::AtTime ? atTime_ : stopTime_) = moment;
}

void ScanSetup::SetInterval(const QTime& interval) {
  if (interval.isValid()) interval_ = interval;
}

bool ScanSetup::TimerTextValid() const {
  return !timerText_.isEmpty() && FieldNumber(timerText_) >= 0 && !timerText_.endsWith('.') &&
         !timerText_.endsWith('E') && !timerText_.endsWith('e') &&
         CheckNumericText(timerText_.toStdString()) == NumericTextVerdict::Valid;
}

bool ScanSetup::NTextValid() const {
  return !nText_.isEmpty() && std::all_of(nText_.begin(), nText_.end(), [](QChar c) { return c >= '0' && c <= '9'; });
}

void ScanSetup::RangeMessage(const QString& text) {
  prompter_.Message(text, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void ScanSetup::ExchangeFields(bool starting) {
  // An empty field is a number not typed yet: nothing to read while typing; at
  // a start it keeps the value it had.
  auto empty = [&](const QString& text, const char* what) {
    if (!text.isEmpty()) return false;
    if (starting) RangeMessage(QStringLiteral("Please enter %1.").arg(QLatin1String(what)));
    return true;
  };
  if (!empty(timerText_, "a number")) {
    timerSeconds_ = static_cast<float>(std::clamp(FieldNumber(timerText_), -1e30, 1e30));
    if (timerSeconds_ < 0 || timerSeconds_ > kMaxTimerSeconds)
      RangeMessage(QStringLiteral("Please enter a number between 0 and 60."));
    timerText_ = FloatFieldText(timerSeconds_);
  }
  if (!empty(scanCountText_, "an integer")) {
    scanCount_ = FieldInteger(scanCountText_);
    if (scanCount_ < 0 || scanCount_ > kMaxScanCount)
      RangeMessage(QStringLiteral("Please enter an integer between 0 and 2000."));
    scanCountText_ = QString::number(scanCount_);
  }
  if (!empty(nText_, "an integer")) {
    nScans_ = FieldInteger(nText_);
    if (nScans_ < kMinNScans || nScans_ > kMaxNScans)
      RangeMessage(QStringLiteral("Please enter an integer between 1 and 200."));
    nText_ = QString::number(nScans_);
  }
}

void ScanSetup::ReadFields() {
  ExchangeFields(true);
}

bool ScanSetup::RangesValid() const {
  return scanCount_ >= 0 && scanCount_ <= kMaxScanCount && timerSeconds_ >= 0 && timerSeconds_ <= kMaxTimerSeconds;
}

void ScanSetup::SetScanCount(int count) {
  scanCount_ = count;
  scanCountText_ = QString::number(count);
}

qint64 ScanSetup::SecondsUntil(ScanPicker picker) const {
  return Moment(picker).toSecsSinceEpoch() - clock_.NowMs() / 1000;
}

int ScanSetup::IntervalSeconds() const {
  return interval_.hour() * 3600 + interval_.minute() * 60 + interval_.second();
}

}  // namespace merilog
