#pragma once
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTime>
#include <array>
#include <string>
#include <vector>

#include "core/scan/ScanFieldRules.h"
#include "core/scan/ScanPlan.h"

namespace merilog {

class Clock;
class Prompter;

// One channel of the card: its function, and the shunt resistance and offset
// that turn a voltage measured on a DCI or ACI channel into a current.
struct ChannelConfig {
  int functionIndex = 0;  // into ScanFunctionTable()
  double shuntR = 1.0;
  double currentOffset = 0;
};

// The two date-and-time pickers.
enum class ScanPicker { AtTime, StopTime };

// What the scan dialog configures: the card's channels and the schedule. Owns
// the channel and function selectors, the R and I fields, the Timer, Scan
// count and N fields with the values last read from them, the mode, and the
// four scheduling check boxes with their pickers and their enabling rules.
class ScanSetup {
 public:
  ScanSetup(Prompter& prompter, const Clock& clock);

  // --- Channels ---
  // 10 or 20.
  int ChannelCount() const { return channelCount_; }
  const ChannelConfig& Channel(int channel) const;
  ChannelFunctions Functions() const;
  // Every channel's shunt resistance, as the dialog sets it at its opening.
  void SetAllShunts(double r);
  // A card read back from the meter: its size, each channel's function from
  // its answer, shunt and offset 0; channel 1 chosen, the selector showing the
  // function of firstChannelAgain.
  void LoadCard(int channelCount, const std::vector<std::string>& functionAnswers,
                const std::string& firstChannelAgain);

  // The channel selector ("CH1", ...) and its choice (0-based).
  QStringList ChannelItems() const;
  int CurrentChannel() const { return currentChannel_; }
  void ScanChannelChosen(int channel);
  // The function selector: eight entries on the lower half of the card, seven
  // (no 4W) on the upper half; disabled on the sense channel of a 4W pair.
  QStringList FunctionItems() const;
  int FunctionSelected() const;
  bool FunctionChooserEnabled() const;
  void ScanFunctionChosen(int index);
  // The R and I fields, their labels and the formula line.
  bool CurrentFieldsShown() const { return currentFieldsShown_; }
  const QString& ShuntRText() const { return shuntRText_; }
  const QString& CurrentOffsetText() const { return currentOffsetText_; }
  void ShuntREdited(const QString& text);
  void CurrentOffsetEdited(const QString& text);
  // A DCI or ACI channel without a shunt resistance is measured as the
  // voltage it is (DCV or ACV) and keeps that function.
  void DemoteUnshuntedCurrents();
  // The selector shows DCI or ACI and the R field reads as 0.
  bool ShownCurrentLacksShunt() const;

  // --- Schedule ---
  // The dialog's opening: both pickers at the present moment, the interval
  // 00:00:10, no scheduling box ticked, SCAN.
  void ResetSchedule();
  // The defaults after the first meter is chosen: Timer 0.5, Scan count the
  // card size, N 1.
  void SetDefaults();

  const QString& TimerText() const { return timerText_; }
  const QString& ScanCountText() const { return scanCountText_; }
  const QString& NText() const { return nText_; }
  // Typing: a change of Scan count exchanges every field; so does a change of
  // Timer unless its text ends in an unfinished number. The exchange leaves a
  // Timer text alone unless it is a number out of range.
  void TimerEdited(const QString& text);
  void ScanCountEdited(const QString& text);
  void NEdited(const QString& text);
  // The up-down control of N, within 1 to 200.
  void StepN(int step);

  int ScanMode() const { return stepMode_ ? 1 : 0; }
  bool StepMode() const { return stepMode_; }
  void ScanModeChosen(int position) { stepMode_ = position == 1; }

  bool AtTimeChecked() const { return atTimeChecked_; }
  bool StopTimeChecked() const { return stopTimeChecked_; }
  bool PerScanChecked() const { return perScanChecked_; }
  bool StopAfterNChecked() const { return stopAfterNChecked_; }
  void AtTimeToggled(bool checked) { atTimeChecked_ = checked; }
  void StopTimeToggled(bool checked);
  void PerScanIntervalToggled(bool checked);
  void StopAfterNToggled(bool checked);
  const QDateTime& Moment(ScanPicker picker) const;
  void SetMoment(ScanPicker picker, const QDateTime& moment);
  const QTime& Interval() const { return interval_; }
  void SetInterval(const QTime& interval);

  // The enabling rules of the scheduling controls.
  bool ScanCountEnabled() const { return !perScanChecked_ && !stopAfterNChecked_; }
  bool StopTimeEnabled() const { return perScanChecked_ && !stopAfterNChecked_; }

  // --- What a start checks and reads ---
  // The Timer text is a non-negative number, whole and finished.
  bool TimerTextValid() const;
  // The N text is digits only, and not empty.
  bool NTextValid() const;
  // Reads every field into its value (a value outside its range is reported
  // and kept) and writes the values back into the fields. False when a value
  // cannot be used: out of its range, or a plain run's Scan count of 0 (said).
  bool ReadFields();
  // Timer and Scan count within their ranges, and N when Stop After N is ticked.
  bool RangesValid() const;
  float TimerSeconds() const { return timerSeconds_; }
  int ScanCount() const { return scanCount_; }
  int NScans() const { return nScans_; }
  // The Scan count field given a value (a Stop-After-N run's total).
  void SetScanCount(int count);
  // Whole seconds from now until the picker's moment, negative once it has passed.
  qint64 SecondsUntil(ScanPicker picker) const;
  // The PerScan interval in seconds.
  int IntervalSeconds() const;

 private:
  bool InCard(int channel) const { return channel >= 0 && channel < channelCount_; }
  ChannelConfig& Current() { return channels_[static_cast<std::size_t>(currentChannel_)]; }
  void NumberEdited(QString* text, double ChannelConfig::*field, CurrentField which, const QString& edited);
  void ExchangeFields(bool starting);
  void RangeMessage(const QString& text);

  Prompter& prompter_;
  const Clock& clock_;
  int channelCount_ = 10;
  std::array<ChannelConfig, kMaxScanChannels> channels_{};
  int currentChannel_ = 0;
  int functionSelected_ = 0;
  bool currentFieldsShown_ = false;
  QString shuntRText_ = QStringLiteral("0");
  QString currentOffsetText_ = QStringLiteral("0");

  QString timerText_, scanCountText_, nText_;
  float timerSeconds_ = 0.5f;
  int scanCount_ = 10;
  int nScans_ = 1;
  bool stepMode_ = false;
  bool atTimeChecked_ = false, stopTimeChecked_ = false, perScanChecked_ = false, stopAfterNChecked_ = false;
  QDateTime atTime_, stopTime_;
  QTime interval_{0, 0, 10};
};

}  // namespace merilog
