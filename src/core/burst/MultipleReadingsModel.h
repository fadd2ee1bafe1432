#pragma once
#include <QString>
#include <QStringList>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/ControlState.h"
#include "core/base/JobRunner.h"
#include "core/burst/BurstRun.h"
#include "core/instrument/DeviceHandOver.h"

namespace merilog {

class Clock;
class Prompter;

// Everything the Multiple Readings dialog shows.
struct MultipleReadingsView {
  QString title, numberCaption, recordCaption, startText, stopText, exitText;

  ControlState deviceList, numberField, recordChoice, startButton, stopButton, exitButton;
  QStringList deviceLines;
  int selectedDevice = 0;
  QString numberText;
  QStringList recordEntries;
  int selectedRecord = -1;  // -1: the choice's text is empty

  // The burst's progress: readings done of total, and the rate.
  bool progressShown = false;
  long long done = 0, total = 0;
  double perSecond = 0;
  QString progressText;
};

// The rate of the progress line: whole readings a second, with one decimal below 10.
QString BurstRateText(double perSecond);

// The Multiple Readings dialog: a burst of 1 to 50000 readings from one meter
// into a record, as fast as the meter answers. The burst runs on the meter's
// session thread (RunBurst), so the dialog stays usable and Stop takes effect
// within one reading; record lists are read by a job thread. The main window
// keeps one for the whole run, so the number of readings persists.
class MultipleReadingsModel {
 public:
  using FolderFinder = std::function<std::optional<QString>(Prompter&)>;
  static constexpr int kMinReadings = 1;
  static constexpr int kMaxReadings = 50000;

  // findFolder: unset, FindRecordFolder with the dialog's caption.
  MultipleReadingsModel(Prompter& prompter, const Clock& clock, FolderFinder findFolder = {}, AppendPolicy policy = {});
  ~MultipleReadingsModel();
  MultipleReadingsModel(const MultipleReadingsModel&) = delete;
  MultipleReadingsModel& operator=(const MultipleReadingsModel&) = delete;

  // The meters of the latest discovery (worker and display name per slot).
  void HandOverDevices(const DeviceHandOver& handOver);

  const MultipleReadingsView& View() const { return view_; }
  // Called whenever View() changed outside a handler (a result came back).
  std::function<void()> onChanged;

  // Handlers.
  void Opening();
  void DeviceSelected(int line);
  // The field was edited: a whole number of 1 to 50000 is taken; anything else
  // brings the range message and the field shows the last number taken again.
  // An empty field is left alone until Start. True when the number was taken.
  bool NumberEdited(const QString& text);
  void RecordChosen(int entry);
  void Start();
  void Stop();
  // False while a burst runs (Exit is disabled then).
  bool Exit() const { return !running_; }

  // A burst is running (Stop not pressed yet).
  bool Running() const { return running_; }
  // No burst and no listing is in flight.
  bool Idle() const { return !running_ && !awaiting_ && !listing_; }
  // How the last burst ended, once its result came back.
  const std::optional<BurstResult>& LastResult() const { return lastResult_; }

 private:
  void SetTexts();
  void Changed();
  void FillRecordChoice(const RecordList& list, int select);
  void ListRecordsThenSelect(int select);
  enum class NumberCheck { Taken, NotInteger, OutOfRange };
  static NumberCheck ParseNumber(const QString& text, int* value);
  void NumberMessage(NumberCheck check);
  void Warn(const QString& text);
  void ShowProgress(long long done, double seconds);
  void Finish(BurstResult result, int number);
  void EndLikeStop();
  void RestoreProgress();
  void UpdateStart();

  Prompter& prompter_;
  const Clock& clock_;
  FolderFinder findFolder_;
  AppendPolicy policy_;
  DeviceHandOver devices_;
  std::optional<QString> folder_;
  std::vector<RecordListEntry> entries_;
  int number_ = 100;  // the number of readings last taken from the field
  MultipleReadingsView view_;
  bool running_ = false;
  int burst_ = 0;          // the latest burst; results of earlier ones change nothing shown
  bool awaiting_ = false;  // the latest burst's result has not come back
  bool listing_ = false;
  std::shared_ptr<std::atomic<bool>> stop_;
  std::optional<BurstResult> lastResult_;
  // The progress shown before the latest Start, shown again when the start is refused.
  struct Progress {
    bool shown = false;
    long long done = 0, total = 0;
    double perSecond = 0;
    QString text;
  } progressBefore_;
  JobRunner jobs_;
  std::unique_ptr<CallbackGuard> guard_ = std::make_unique<CallbackGuard>();
};

}  // namespace merilog
