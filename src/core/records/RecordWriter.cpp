#include "core/records/RecordWriter.h"

#include "core/records/RecordAppender.h"
#include "core/records/RecordCommitNotice.h"

namespace merilog {

RecordWriter::RecordWriter(std::function<void(QString)> failed) : failed_(std::move(failed)) {}

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

void RecordWriter::Append(std::vector<Row> rows) {
  auto records = records_;
  auto alive = guard_.Watch();
  thread_.Post([this, records, alive, rows = std::move(rows)] {
    bool failedNow = false;
    std::vector<bool> touched(records->open.size(), false);
    for (const Row& r : rows) {
      if (r.record < 0 || r.record >= static_cast<int>(records->open.size())) continue;
      touched[r.record] = true;
      RecordAppender& a = *records->open[r.record];
      RecordStatus st = a.Append(r.value, r.value2nd, r.time);
      if (st.ok()) st = a.FlushIfDue();
      if (!st.ok() && records->error.isEmpty()) {
        records->error = a.LastError().isEmpty() ? st.error : a.LastError();
        failedNow = true;
      }
    }
    // The lab server's forwarder learns that there is something new to send.
    for (size_t k = 0; k < touched.size(); ++k)
      if (touched[k]) RecordCommitNotice::RowsWritten(records->open[k]->Path());
    if (failedNow && !records->reported) {
      records->reported = true;
      thread_.Deliver([this, alive, error = records->error] {
        if (!alive.expired() && failed_) failed_(error);
      });
    }
  });
}

RecordWriter::Closed RecordWriter::CloseAll() {
  auto records = records_;
  return thread_.Call<Closed>([records] {
    for (auto& a : records->open) {
      if (!a) continue;
      const RecordStatus closed = a->Close();
      RecordCommitNotice::RowsWritten(a->Path());
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
