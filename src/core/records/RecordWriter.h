#pragma once
#include <QString>
#include <QTimer>
#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <vector>

#include "core/base/WorkerThread.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordGaps.h"
#include "core/records/RecordResult.h"

namespace merilog {

class RecordAppender;

// The open records of a reading run, written on a thread of their own so that
// the window never waits for the disk: rows are handed over in batches (every
// kHandOverRows rows, and at most kHandOverMs after the first of a batch, so
// that a fast run wakes the writer's thread seldom) and committed there in
// batches (RecordAppender's policy). Lives on a thread with an event loop.
class RecordWriter {
 public:
  struct Row {
    int record = 0;  // as returned by Adopt
    double value = 0, value2nd = 0;
    ReadTimeText time{};
  };
  // What closing found: the first failure, naming its file, and how many rows
  // could not be stored.
  struct Closed {
    QString error;
    long long unsaved = 0;
  };

  // `failed` runs on this thread, once, when a record first refuses rows.
  explicit RecordWriter(std::function<void(QString error)> failed);
  // Closes what is still open; waits for the disk, never for a meter.
  ~RecordWriter();
  RecordWriter(const RecordWriter&) = delete;
  RecordWriter& operator=(const RecordWriter&) = delete;

  static constexpr size_t kHandOverRows = 256;
  static constexpr int kHandOverMs = 10;

  // Hands an open record to the writer's thread; returns its number for Append.
  int Adopt(std::unique_ptr<RecordAppender> record);
  void Append(std::vector<Row> rows);
  // Hands the rows appended so far to the writer's thread now: for a caller
  // that appends in batches of its own.
  void HandOver();
  // A gap in a record's readings, stored after the rows handed over before it.
  void AddGap(int record, RecordGap gap);
  // Commits and closes every record, waiting for the disk.
  Closed CloseAll();
  // A record has refused rows; readable from any thread, so a loop that never
  // returns to its event loop (a burst) stops at the first refusal.
  bool Refused() const { return records_->refused.load(std::memory_order_relaxed); }

 private:
  // Touched only on the writer's thread.
  struct Records {
    std::vector<std::unique_ptr<RecordAppender>> open;
    QString error;
    long long unsaved = 0;
    bool reported = false;
    std::atomic<bool> refused{false};  // the one member read from other threads
  };
  // On the writer's thread: notes a refusal, and reports the first one here.
  void Note(Records& records, RecordAppender& a, const RecordStatus& st);
  std::shared_ptr<Records> records_;  // made in the constructor, where RecordAppender is complete
  std::function<void(QString)> failed_;
  int count_ = 0;
  std::vector<Row> waiting_;  // rows not handed over yet
  std::chrono::steady_clock::time_point firstWaiting_;
  QTimer handOver_;
  CallbackGuard guard_;
  WorkerThread thread_{WorkerThread::AtEnd::Finish};
};

}  // namespace merilog
