#pragma once
#include <QString>
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
// the window never waits for the disk: rows are handed over as they are taken
// and committed there in batches (RecordAppender's policy).
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

  // Hands an open record to the writer's thread; returns its number for Append.
  int Adopt(std::unique_ptr<RecordAppender> record);
  void Append(std::vector<Row> rows);
  // A gap in a record's readings, stored after the rows handed over before it.
  void AddGap(int record, RecordGap gap);
  // Commits and closes every record, waiting for the disk.
  Closed CloseAll();

 private:
  // Touched only on the writer's thread.
  struct Records {
    std::vector<std::unique_ptr<RecordAppender>> open;
    QString error;
    long long unsaved = 0;
    bool reported = false;
  };
  // On the writer's thread: notes a refusal, and reports the first one here.
  void Note(Records& records, RecordAppender& a, const RecordStatus& st);
  std::shared_ptr<Records> records_;  // made in the constructor, where RecordAppender is complete
  std::function<void(QString)> failed_;
  int count_ = 0;
  CallbackGuard guard_;
  WorkerThread thread_{WorkerThread::AtEnd::Finish};
};

}  // namespace merilog
