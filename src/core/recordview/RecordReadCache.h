#pragma once
#include <QString>
#include <functional>
#include <memory>

#include "core/records/RecordResult.h"
#include "core/records/RecordRows.h"

namespace merilog {

class JobRunner;
class RecordDatabase;

// The record a dialog's jobs read, opened for reading and indexed once, then
// kept open between jobs so that a page or a cursor move costs one seek. It
// lives on the dialog's job thread: the dialog hands it to its jobs and never
// touches it itself.
class RecordReadCache {
 public:
  RecordReadCache();
  ~RecordReadCache();
  RecordReadCache(const RecordReadCache&) = delete;
  RecordReadCache& operator=(const RecordReadCache&) = delete;

  // Opens and indexes the file unless it is the one open already; `fresh`
  // opens and indexes it again (the record may have grown since). Indexing a
  // file written by another program passes over its rows, which `cancelled`
  // may stop (with an empty failure).
  RecordStatus Use(const QString& path, bool fresh = false, const std::function<bool()>& cancelled = {});
  bool IsOpen() const { return db_ != nullptr; }
  RecordDatabase& Database() { return *db_; }
  const RecordRowIndex& Index() const { return index_; }
  void Close();

 private:
  QString path_;
  std::unique_ptr<RecordDatabase> db_;
  RecordRowIndex index_;
};

// Lets the record go on the cache's own job thread (a dialog closes).
void CloseInJob(JobRunner& jobs, std::shared_ptr<RecordReadCache> cache);

}  // namespace merilog
