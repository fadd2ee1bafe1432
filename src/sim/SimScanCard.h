#pragma once
#include <cstdint>

#include "sim/SimMeterState.h"

namespace merilog::sim {

// How far a scan on the simulated card has come at a moment. In SCAN mode a
// reading is counted when it is taken, at the end of its timer period. In
// STEP mode the card counts a channel as soon as it switches to it and takes
// the reading at the end of the dwell, so the last reading comes one period
// after the count is complete.
struct ScanCardProgress {
  int counted = 0;  // what "Rout:scan:state?" answers
  int ready = 0;    // readings "fetch?" has
};

// Every reading takes at least this long, whatever the timer.
inline constexpr int kMinScanReadingMs = 20;

// stallAt >= 0: the card stops counting (and measuring) at that many readings.
ScanCardProgress ScanCardProgressAt(const ScanState& scan, std::int64_t nowMs, int stallAt);

}  // namespace merilog::sim
