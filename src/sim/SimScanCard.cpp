#include "sim/SimScanCard.h"

#include <algorithm>
#include <cmath>

namespace merilog::sim {

ScanCardProgress ScanCardProgressAt(const ScanState& scan, std::int64_t nowMs, int stallAt) {
  ScanCardProgress p;
  if (!scan.running || scan.count <= 0) return p;
  if (scan.abortedAt >= 0) {
    p.counted = p.ready = scan.abortedAt;
    return p;
  }
  const std::int64_t per = std::max<std::int64_t>(kMinScanReadingMs, std::llround(scan.timerSeconds * 1000.0));
  const std::int64_t periods = std::max<std::int64_t>(0, nowMs - scan.startMs) / per;
  std::int64_t limit = scan.count;
  if (stallAt >= 0) limit = std::min<std::int64_t>(limit, stallAt);
  p.ready = static_cast<int>(std::min(periods, limit));
  p.counted = static_cast<int>(std::min(scan.stepMode ? periods + 1 : periods, limit));
  return p;
}

}  // namespace merilog::sim
