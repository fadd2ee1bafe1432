#include "core/records/RecordLimitCount.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include "core/records/RecordDatabase.h"

namespace merilog {

namespace {

long long Count(SQLite::Database& db, const char* sql, double limit) {
  SQLite::Statement q(db, sql);
  q.bind(1, limit);
  return q.executeStep() ? q.getColumn(0).getInt64() : 0;
}

}  // namespace

RecordResult<OutsideLimitCounts> CountOutsideLimits(const QString& path, std::optional<double> high,
                                                    std::optional<double> low) {
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  if (!db) return db.status();
  OutsideLimitCounts counts;
  try {
    SQLite::Database& sql = db.value()->Sql();
    if (high) counts.above = Count(sql, "SELECT count(*) FROM read WHERE read_value > ?", *high);
    if (low) counts.below = Count(sql, "SELECT count(*) FROM read WHERE read_value < ?", *low);
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(db.value()->Explain(e));
  }
  return counts;
}

}  // namespace merilog
