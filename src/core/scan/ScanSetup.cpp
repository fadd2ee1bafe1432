#include "core/scan/ScanSetup.h"

#include <algorithm>
#include <limits>

#include "core/base/Clock.h"
#include "core/base/Prompter.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/NumericText.h"
#include "core/scan/ScanFieldRules.h"
#include "core/scan/ScanFunctionTable.h"

namespace merilog {

namespace {

double FieldNumber(const QString& text) {
  return LeadingNumber(text.toStdString());
}

// An integer field's value as the exchange reads it; far outside any range
// stays far outside, without overflowing.
int FieldInteger(const QString& text) {
  return LeadingInteger(text.toStdString(), -1'000'000'000, 1'000'000'000);
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

void ScanSetup::NumberEdited(QString* text, double ChannelConfig::*field, CurrentField which, const QString& edited) {
  *text = edited;
  const std::string typed = edited.toStdString();
  const NumericTextVerdict verdict = CheckNumericText(typed);
  if (verdict != NumericTextVerdict::Valid) {
    prompter_.Message(CurrentFieldErrorText(which),
                      verdict == NumericTextVerdict::Repeated ? QStringLiteral(".") : QString(), Prompter::Icon::None,
                      Prompter::Buttons::Ok);
    *text = QString::fromStdString(FixedText(FieldNumber(edited), 2));
  } else if (ReadWholeNumber(typed).kind == WholeNumber::Kind::TooLarge) {
    // Read as the C library would, it would be 0 and later called a zero R.
    prompter_.Message(CurrentFieldTooLargeText(which), QString(), Prompter::Icon::None, Prompter::Buttons::Ok);
    *text = QString::fromStdString(FixedText(0, 2));
  }
  Current().*field = FieldNumber(edited);
}

void ScanSetup::ShuntREdited(const QString& text) {
  NumberEdited(&shuntRText_, &ChannelConfig::shuntR, CurrentField::ShuntR, text);
}

void ScanSetup::CurrentOffsetEdited(const QString& text) {
  NumberEdited(&currentOffsetText_, &ChannelConfig::currentOffset, CurrentField::Offset, text);
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
  return merilog::TimerTextValid(timerText_);
}

bool ScanSetup::NTextValid() const {
  return merilog::NTextValid(nText_);
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
    // A Timer text that reads as a number in range stays as typed ("0.0" on
    // the way to 0.05); one that is not a number stays too, for the start's
    // check to refuse; a number out of range is reported and shown as read.
    const WholeNumber n = ReadWholeNumber(timerText_.toStdString());
    if (n.kind == WholeNumber::Kind::TooLarge) {
      timerSeconds_ = std::numeric_limits<float>::infinity();
      RangeMessage(TimerRangeText());
    } else if (n.IsNumber()) {
      timerSeconds_ = static_cast<float>(std::clamp(n.value, -1e30, 1e30));
      if (timerSeconds_ < 0 || timerSeconds_ > kMaxTimerSeconds) {
        RangeMessage(TimerRangeText());
        timerText_ = FloatFieldText(timerSeconds_);
      }
    }
  }
  if (!empty(scanCountText_, "an integer")) {
    scanCount_ = FieldInteger(scanCountText_);
    if (scanCount_ < 0 || scanCount_ > kMaxScanCount) RangeMessage(ScanCountRangeText());
    scanCountText_ = QString::number(scanCount_);
  }
  if (!empty(nText_, "an integer")) {
    nScans_ = FieldInteger(nText_);
    if (nScans_ < kMinNScans || nScans_ > kMaxNScans) RangeMessage(NScansRangeText());
    nText_ = QString::number(nScans_);
  }
}

bool ScanSetup::ReadFields() {
  ExchangeFields(true);
  if (!RangesValid()) return false;
  // A plain run of no reading would wait for ever for the card to count one.
  if (ScanCountEnabled() && scanCount_ == 0) {
    RangeMessage(ScanCountAtStartText());
    return false;
  }
  return true;
}

bool ScanSetup::RangesValid() const {
  const bool nValid = !stopAfterNChecked_ || (nScans_ >= kMinNScans && nScans_ <= kMaxNScans);
  return scanCount_ >= 0 && scanCount_ <= kMaxScanCount && timerSeconds_ >= 0 && timerSeconds_ <= kMaxTimerSeconds &&
         nValid;
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
