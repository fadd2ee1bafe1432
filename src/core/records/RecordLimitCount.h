#pragma once
#include <QString>
#include <optional>

#include "core/records/RecordResult.h"

namespace merilog {

// How many readings of a record lie outside limits: read_value above high, or
// below low (either limit may be absent). An overload counts as above.
struct OutsideLimitCounts {
  long long above = 0, below = 0;
  long long Total() const { return above + below; }
};

// One counting pass per limit over the record at `path`, read only.
RecordResult<OutsideLimitCounts> CountOutsideLimits(const QString& path, std::optional<double> high,
                                                    std::optional<double> low);

}  // namespace merilog
