#pragma once
#include <QString>
#include <QTime>
#include <functional>
#include <memory>
#include <vector>

#include "core/records/RecordFormat.h"
#include "core/records/RecordGaps.h"
#include "core/records/RecordResult.h"
#include "core/records/RecordSummary.h"

namespace merilog {

class RecordDatabase;

// When the rows held by an appender are committed.
struct AppendPolicy {
  int batchRows = 1000;         // commit as soon as this many rows wait
  qint64 batchMs = 100;         // or when this long has passed since the last commit
  int maxPendingRows = 100000;  // rows held while the disk refuses them; later readings are refused
};

// Appends readings to a record's table read, in batches: each batch is one
// transaction, committed when batchRows rows wait or batchMs has passed since
// the last commit (checked on every Append and by FlushIfDue), and on Flush and
// Close. A row appended after a quiet spell of batchMs or more is committed at
// once. Rows wait in memory until their commit succeeds, so a refused commit
// (a full disk, a lock) loses nothing: the error says how many wait, and the
// next commit tries them again. The summary and pyramid the record keeps
// (RecordSchema.h) are updated in the same transaction, so they stay exact.
//
// The owner of a slow stream calls FlushIfDue() from a timer, or before any
// step that may block (a meter read), so no row waits long.
class RecordAppender {
 public:
  // Milliseconds of a steady clock; the default is the process's monotonic clock.
  using SteadyMs = std::function<qint64()>;

  static RecordResult<std::unique_ptr<RecordAppender>> Open(const QString& path, AppendPolicy policy = {},
                                                            SteadyMs steadyMs = {});
  // Adopts a database opened for writing (PrepareRecord writes the date and
  // functions through it first).
  static RecordResult<std::unique_ptr<RecordAppender>> Adopt(std::unique_ptr<RecordDatabase> db,
                                                             AppendPolicy policy = {}, SteadyMs steadyMs = {});
  // Commits what waits; errors are lost here, so owners call Close() first.
  ~RecordAppender();
  RecordAppender(const RecordAppender&) = delete;
  RecordAppender& operator=(const RecordAppender&) = delete;

  // One reading: read_value, read_value_2ND (kNoSecondValue when none) and the
  // time of day as read_time "%02d:%02d:%02d:%03d". read_func and read_func2 stay NULL.
  RecordStatus Append(double value, double value2nd, const QTime& timeOfDay);
  RecordStatus Append(double value, double value2nd, const ReadTimeText& readTime);

  // A gap in the readings (RecordGaps): the rows that wait are committed first,
  // and the gap's last_rowid becomes the last row of read before it.
  RecordStatus AddGap(RecordGap gap);

  // Commits when a batch is due; cheap when nothing waits.
  RecordStatus FlushIfDue();
  // Commits whatever waits.
  RecordStatus Flush();
  // Commits and closes the file; the appender takes no rows afterwards. When
  // that last commit fails, the error names the file and the readings lost.
  RecordStatus Close();

  // Milliseconds until FlushIfDue would commit; -1 when nothing waits.
  qint64 MsUntilDue() const;
  // Rows waiting for their commit (after a failed Close: the rows that were lost).
  int PendingRows() const { return static_cast<int>(pending_.size()); }
  // Readings handed to Append that are not in the file: those waiting for a
  // commit (all of them lost once Close has failed), and those refused because
  // too many waited or the record was closed.
  long long UnsavedCount() const { return static_cast<long long>(pending_.size()) + refusedRows_; }
  // Why the last commit failed (naming the file), empty after a good one.
  const QString& LastError() const { return lastError_; }
  // Rows committed through this appender.
  long long CommittedRows() const { return committedRows_; }
  const QString& Path() const { return path_; }
  bool IsOpen() const { return db_ != nullptr; }

 private:
  struct Row {
    double value, value2nd;
    ReadTimeText time;
  };
  RecordAppender(std::unique_ptr<RecordDatabase> db, AppendPolicy policy, SteadyMs steadyMs);
  RecordStatus Start();
  RecordStatus Commit();
  bool Due() const;

  std::unique_ptr<RecordDatabase> db_;
  QString path_;
  AppendPolicy policy_;
  SteadyMs steadyMs_;
  std::vector<Row> pending_;
  qint64 lastCommitMs_ = 0;
  long long committedRows_ = 0;
  long long refusedRows_ = 0;
  RecordSummary summary_;
  bool keeping_ = false;  // the kept summary goes on with the rows
  QString lastError_;
};

}  // namespace merilog
