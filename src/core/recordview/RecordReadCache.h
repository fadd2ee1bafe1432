#pragma once
#include <QString>
#include <functional>
#include <memory>

#include "core/records/RecordIndex.h"
#include "core/records/RecordResult.h"

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
  // opens and indexes it again (the record may have grown, or another program
  // changed it). Indexing a record another program wrote or changed passes
  // once over its rows, reporting to `progress`, which may stop it (a failure
  // the one who stopped it need not show).
  RecordStatus Use(const QString& path, bool fresh = false, const RowProgress& progress = {});
  bool IsOpen() const { return db_ != nullptr; }
  RecordDatabase& Database() { return *db_; }
  const RecordIndex& Index() const { return index_; }
  void Close();

 private:
  QString path_;
  std::unique_ptr<RecordDatabase> db_;
  RecordIndex index_;
};

// Lets the record go on the cache's own job thread (a dialog closes).
void CloseInJob(JobRunner& jobs, std::shared_ptr<RecordReadCache> cache);

}  // namespace merilog
