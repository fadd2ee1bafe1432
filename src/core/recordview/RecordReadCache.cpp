#include "core/recordview/RecordReadCache.h"

#include "core/base/JobRunner.h"
#include "core/records/RecordDatabase.h"

namespace merilog {

RecordReadCache::RecordReadCache() = default;
RecordReadCache::~RecordReadCache() = default;

RecordStatus RecordReadCache::Use(const QString& path, bool fresh, const RowProgress& progress) {
  if (db_ && path == path_ && !fresh) return {};
  Close();
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  if (!db) return db.status();
  auto index = RecordIndex::Open(*db.value(), progress);
  if (!index) return index.status();
  db_ = std::move(db.value());
  index_ = index.value();
  path_ = path;
  return {};
}

void RecordReadCache::Close() {
  db_.reset();
  index_ = {};
  path_.clear();
}

void CloseInJob(JobRunner& jobs, std::shared_ptr<RecordReadCache> cache) {
  jobs.Start<bool>(
      [cache = std::move(cache)](JobProgress&) {
        cache->Close();
        return true;
      },
      [](bool) {});
}

}  // namespace merilog
