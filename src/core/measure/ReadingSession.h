#pragma once
#include <QString>
#include <array>
#include <memory>
#include <string>
#include <vector>

namespace merilog {

class Clock;
class DeviceListModel;
class Prompter;
class RecordAppender;
class Session;

constexpr int kReadingSessionPositions = 4;
// Read time-out of a session outside pipelined reading, and of the current
// meter while AC readings are pipelined.
constexpr int kNormalReadTimeoutMs = 20000;
constexpr int kPipelinedReadTimeoutMs = 1000;

// Which meters the next run reads and where each saves.
struct ReadingPlan {
  bool multiDeviceMode = false;
  std::vector<int> chosenSlots;  // multi-device mode: slots of positions 0, 1, ...
  std::array<int, kReadingSessionPositions> saveEnabled{};
  std::array<int, kReadingSessionPositions> recordNumber{};
};

// The meter and record side of a reading run: which meters take part, the
// functions they reported, the record checks and the open records. The main
// window model wraps it with the interface locking and the timer.
class ReadingSession {
 public:
  enum class StartOutcome {
    Running,   // every check passed; the timer may start
    Declined,  // the user would not continue a record: stop at once
    Refused,   // a check failed (messages shown): stop
  };

  ReadingSession(DeviceListModel& devices, Prompter& prompter, const Clock& clock);
  ~ReadingSession();

  // From "readingActive := 1" to the first pipelined reads: examines every
  // active meter, checks and prepares the saving meters' records, sends "*cls".
  StartOutcome Begin(const ReadingPlan& plan);
  // Closes the records, clears every active meter and writes "*cls" to it, and
  // puts the current meter's time-out back. Commits every reading first.
  void End();

  bool ReadingActive() const { return readingActive_; }
  int TickCount() const { return tickCount_; }
  void SetTickCount(int count) { tickCount_ = count; }
  bool MultiDeviceMode() const { return plan_.multiDeviceMode; }
  int ActiveCount() const { return static_cast<int>(activeSlots_.size()); }
  int SlotOf(int position) const { return activeSlots_[position]; }
  const std::vector<int>& ActiveSlots() const { return activeSlots_; }
  const std::string& Function(int position) const { return function_[position]; }
  bool SaveEnabled(int position) const { return plan_.saveEnabled[position] != 0; }
  int RecordNumber(int position) const { return plan_.recordNumber[position]; }
  bool RecordBlocked(int position) const { return recordBlocked_[position] != 0; }
  int RecordCheckState() const { return recordCheckState_; }
  bool SlowAcBandwidth() const { return slowAcBandwidth_; }
  const QString& ContinuationList() const { return continuationList_; }
  // The open record of a saving position, null otherwise.
  RecordAppender* Record(int position) const { return records_[position].get(); }
  // The meter's session, for the pipelined reads that bypass the query.
  Session* MeterSession(int slot) const;

  // Shows a record write failure once per run, so a full disk is reported
  // without a box on every tick.
  void ReportRecordError(int position, const QString& error);

 private:
  void CheckAndPrepare(int position, const QString& function1, const QString& function2, bool* declined);
  void Warn(const QString& text);

  DeviceListModel& devices_;
  Prompter& prompter_;
  const Clock& clock_;
  ReadingPlan plan_;
  bool readingActive_ = false;
  int tickCount_ = 0;
  std::vector<int> activeSlots_;
  std::array<std::string, kReadingSessionPositions> function_;
  std::array<int, kReadingSessionPositions> recordBlocked_{};
  std::array<bool, kReadingSessionPositions> recordErrorShown_{};
  std::array<std::unique_ptr<RecordAppender>, kReadingSessionPositions> records_;
  int recordCheckState_ = 0;
  bool slowAcBandwidth_ = false;
  QString continuationList_;
};

}  // namespace merilog
