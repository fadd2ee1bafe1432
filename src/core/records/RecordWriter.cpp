#include "core/records/RecordWriter.h"

#include <QAbstractEventDispatcher>
#include <utility>

#include "core/records/RecordAppender.h"

namespace merilog {

RecordWriter::RecordWriter(std::function<void(QString)> failed)
    : records_(std::make_shared<Records>()), failed_(std::move(failed)) {
  handOver_.setSingleShot(true);
  handOver_.setInterval(kHandOverMs);
  QObject::connect(&handOver_, &QTimer::timeout, [this] { HandOver(); });
}

RecordWriter::~RecordWriter() {
  CloseAll();
}

int RecordWriter::Adopt(std::unique_ptr<RecordAppender> record) {
  auto records = records_;
  // shared_ptr: the job must be copyable; the appender is used on the thread only from now on.
  auto handed = std::make_shared<std::unique_ptr<RecordAppender>>(std::move(record));
  thread_.Post([records, handed] { records->open.push_back(std::move(*handed)); });
  return count_++;
}

void RecordWriter::Note(Records& records, RecordAppender& a, const RecordStatus& st) {
  if (st.ok() || !records.error.isEmpty()) return;
  records.error = a.LastError().isEmpty() ? st.error : a.LastError();
  records.refused.store(true, std::memory_order_relaxed);
  if (records.reported) return;
  records.reported = true;
  thread_.Deliver([this, alive = guard_.Watch(), error = records.error] {
    if (!alive.expired() && failed_) failed_(error);
  });
}

void RecordWriter::Append(std::vector<Row> rows) {
  const auto now = std::chrono::steady_clock::now();
  if (waiting_.empty()) firstWaiting_ = now;
  waiting_.insert(waiting_.end(), rows.begin(), rows.end());
  if (waiting_.size() >= kHandOverRows || now - firstWaiting_ >= std::chrono::milliseconds(kHandOverMs)) {
    HandOver();
  } else if (!handOver_.isActive() && QAbstractEventDispatcher::instance()) {
    // A run whose readings stop (or come seldom) hands its rows over all the same; a thread without
    // an event loop (the burst's) keeps appending and closes.
    handOver_.start();
  }
}

void RecordWriter::HandOver() {
  handOver_.stop();
  if (waiting_.empty()) return;
  auto records = records_;
  thread_.Post([this, records, rows = std::exchange(waiting_, {})] {
    for (const Row& r : rows) {
      if (r.record < 0 || r.record >= static_cast<int>(records->open.size())) continue;
      RecordAppender& a = *records->open[r.record];
      RecordStatus st = a.Append(r.value, r.value2nd, r.time);
      if (st.ok()) st = a.FlushIfDue();
      Note(*records, a, st);
    }
  });
}

void RecordWriter::AddGap(int record, RecordGap gap) {
  // The rows before the gap go first: the gap names the last of them.
  HandOver();
  auto records = records_;
  thread_.Post([this, records, record, gap = std::move(gap)] {
    if (record < 0 || record >= static_cast<int>(records->open.size())) return;
    RecordAppender& a = *records->open[record];
    Note(*records, a, a.AddGap(gap));
  });
}

RecordWriter::Closed RecordWriter::CloseAll() {
  HandOver();
  auto records = records_;
  return thread_.Call<Closed>([records] {
    for (auto& a : records->open) {
      if (!a) continue;
      const RecordStatus closed = a->Close();
      // Rows a refused commit left waiting, and readings refused while too many waited.
      const long long lost = a->UnsavedCount();
      records->unsaved += lost;
      if ((!closed.ok() || lost > 0) && records->error.isEmpty())
        records->error = a->LastError().isEmpty() ? closed.error : a->LastError();
    }
    records->open.clear();
    return Closed{records->error, records->unsaved};
  });
}

}  // namespace merilog
