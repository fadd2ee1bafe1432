#include "core/records/RecordAppender.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <QElapsedTimer>
#include <cmath>
#include <tuple>

#include "core/records/RecordCommitNotice.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordSchema.h"
#include "core/records/RecordSummaryStore.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

qint64 MonotonicMs() {
  static QElapsedTimer start = [] {
    QElapsedTimer t;
    t.start();
    return t;
  }();
  return start.elapsed();
}

}  // namespace

RecordAppender::RecordAppender(std::unique_ptr<RecordDatabase> db, AppendPolicy policy, SteadyMs steadyMs)
    : db_(std::move(db)), path_(db_->Path()), policy_(policy), steadyMs_(std::move(steadyMs)) {
  if (!steadyMs_) steadyMs_ = MonotonicMs;
  if (policy_.batchRows < 1) policy_.batchRows = 1;
  if (policy_.maxPendingRows < policy_.batchRows) policy_.maxPendingRows = policy_.batchRows;
  pending_.reserve(static_cast<size_t>(policy_.batchRows));
}

RecordResult<std::unique_ptr<RecordAppender>> RecordAppender::Open(const QString& path, AppendPolicy policy,
                                                                   SteadyMs steadyMs) {
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Write);
  if (!db) return db.status();
  return Adopt(std::move(db.value()), policy, std::move(steadyMs));
}

RecordResult<std::unique_ptr<RecordAppender>> RecordAppender::Adopt(std::unique_ptr<RecordDatabase> db,
                                                                    AppendPolicy policy, SteadyMs steadyMs) {
  std::unique_ptr<RecordAppender> a(new RecordAppender(std::move(db), policy, std::move(steadyMs)));
  if (RecordStatus s = a->Start(); !s) return s;
  return a;
}

RecordStatus RecordAppender::Start() {
  // The kept summary goes on with the rows when it is right as it stands; otherwise it is left
  // alone, and the next reader makes it anew in one pass, never this start.
  try {
    SQLite::Database& sql = db_->Sql();
    RecordDatabase::WriteTransaction txn(*db_);
    record_summary::Loaded loaded = record_summary::Load(sql);
    keeping_ = loaded.kept == record_summary::Kept::Current;
    if (keeping_) {
      summary_ = std::move(loaded.summary);
      record_summary::RestorePartials(sql, summary_);
    }
    txn.Commit();
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(db_->Explain(e));
  }
  lastCommitMs_ = steadyMs_();
  return {};
}

RecordAppender::~RecordAppender() {
  if (db_) Close();
}

RecordStatus RecordAppender::Append(double value, double value2nd, const QTime& timeOfDay) {
  return Append(value, value2nd, FormatReadTime(timeOfDay));
}

RecordStatus RecordAppender::Append(double value, double value2nd, const ReadTimeText& readTime) {
  if (!db_) {
    ++refusedRows_;
    return RecordStatus::Failure(record_texts::RecordClosed(path_));
  }
  if (static_cast<int>(pending_.size()) >= policy_.maxPendingRows) {
    // The disk has refused the earlier rows for long: hold no more than the
    // limit, and say that this reading is not kept.
    RecordStatus retry = Commit();
    if (!retry) {
      ++refusedRows_;
      return RecordStatus::Failure(record_texts::ReadingRefused(path_));
    }
  }
  pending_.push_back(Row{value, value2nd, readTime});
  if (Due()) return Commit();
  return {};
}

bool RecordAppender::Due() const {
  if (pending_.empty()) return false;
  // After a refused commit only the time rule retries, so a full disk is not
  // asked again on every reading.
  if (lastError_.isEmpty() && static_cast<int>(pending_.size()) >= policy_.batchRows) return true;
  return steadyMs_() - lastCommitMs_ >= policy_.batchMs;
}

qint64 RecordAppender::MsUntilDue() const {
  if (pending_.empty()) return -1;
  if (lastError_.isEmpty() && static_cast<int>(pending_.size()) >= policy_.batchRows) return 0;
  return std::max<qint64>(0, lastCommitMs_ + policy_.batchMs - steadyMs_());
}

RecordStatus RecordAppender::FlushIfDue() {
  if (!db_ || !Due()) return {};
  return Commit();
}

RecordStatus RecordAppender::Flush() {
  if (!db_ || pending_.empty()) return {};
  return Commit();
}

RecordStatus RecordAppender::Commit() {
  const qint64 now = steadyMs_();
  RecordSummary next = summary_;
  bool keeping = keeping_;
  try {
    SQLite::Database& sql = db_->Sql();
    RecordDatabase::WriteTransaction txn(*db_);
    // Another program may have written between two commits: the summary then no longer describes
    // the rows before ours, and is left for the next reader to make anew.
    if (keeping) {
      SQLite::Statement last(sql, "SELECT max(rowid) FROM read");
      keeping = last.executeStep() &&
                (last.getColumn(0).isNull() ? 0 : last.getColumn(0).getInt64()) == next.lastRowid &&
                record_schema::ChangeCount(sql) == next.changeCount;
    }
    std::vector<std::tuple<int, long long, PyramidBlock>> blocks;
    next.SetSink(
        [&blocks](int level, long long block, const PyramidBlock& b) { blocks.emplace_back(level, block, b); });
    {
      SQLite::Statement insert(sql, "INSERT INTO read (read_value, read_value_2ND, read_time) VALUES (?, ?, ?)");
      for (const Row& r : pending_) {
        insert.bind(1, r.value);
        insert.bind(2, r.value2nd);
        insert.bindNoCopy(3, r.time.data());
        insert.exec();
        insert.reset();
        // A NaN is stored as NULL.
        if (keeping)
          next.Add(sql.getLastInsertRowid(), {std::isnan(r.value), true, r.value},
                   {std::isnan(r.value2nd), true, r.value2nd});
      }
    }
    next.SetSink({});
    if (keeping) {
      record_summary::StoreRow(sql, next);
      record_summary::BlockWriter writer(sql);
      for (const auto& [level, block, b] : blocks) writer.Write(level, block, b);
    }
    txn.Commit();
  } catch (const SQLite::Exception& e) {
    // The transaction is rolled back; the rows stay here for the next try.
    lastCommitMs_ = now;  // no retry storm on every append while the disk refuses
    lastError_ = db_->Explain(e);
    return RecordStatus::Failure(lastError_ + record_texts::ReadingsNotSaved(static_cast<qint64>(pending_.size())));
  }
  committedRows_ += static_cast<long long>(pending_.size());
  pending_.clear();
  summary_ = std::move(next);
  keeping_ = keeping;
  lastCommitMs_ = now;
  lastError_.clear();
  // Only now can the lab server's forwarder find the rows it is told about.
  RecordCommitNotice::RowsWritten(path_);
  return {};
}

RecordStatus RecordAppender::AddGap(RecordGap gap) {
  if (!db_) return RecordStatus::Failure(record_texts::RecordClosed(path_));
  if (RecordStatus s = Flush(); !s) return s;
  try {
    SQLite::Database& sql = db_->Sql();
    RecordDatabase::WriteTransaction txn(*db_);
    gap.lastRowid = sql.execAndGet("SELECT coalesce(max(rowid), 0) FROM read").getInt64();
    RecordGaps::Add(sql, gap);
    txn.Commit();
  } catch (const SQLite::Exception& e) {
    lastError_ = db_->Explain(e);
    return RecordStatus::Failure(lastError_);
  }
  return {};
}

RecordStatus RecordAppender::Close() {
  if (!db_) return {};
  RecordStatus s;
  if (!pending_.empty() && !Commit()) {
    // The last chance has gone: the rows that wait are lost, and UnsavedCount keeps saying how many.
    s = RecordStatus::Failure(lastError_ + record_texts::ReadingsLost(static_cast<qint64>(pending_.size())));
  }
  db_.reset();
  return s;
}

}  // namespace merilog
