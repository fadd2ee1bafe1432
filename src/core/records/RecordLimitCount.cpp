#include "core/records/RecordLimitCount.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include "core/records/RecordDatabase.h"

namespace merilog {

RecordResult<OutsideLimitCounts> CountOutsideLimits(const QString& path, std::optional<double> high,
                                                    std::optional<double> low) {
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  if (!db) return db.status();
  OutsideLimitCounts counts;
  try {
    if (!high && !low) return counts;
    // Both limits in one pass over the readings; a limit not given is bound as NULL and counts nothing.
    SQLite::Statement q(db.value()->Sql(),
                        "SELECT coalesce(sum(read_value > ?1), 0), coalesce(sum(read_value < ?2), 0) FROM read");
    if (high) q.bind(1, *high);
    if (low) q.bind(2, *low);
    if (q.executeStep()) {
      counts.above = q.getColumn(0).getInt64();
      counts.below = q.getColumn(1).getInt64();
    }
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(db.value()->Explain(e));
  }
  return counts;
}

}  // namespace merilog
