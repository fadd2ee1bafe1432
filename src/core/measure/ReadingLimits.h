#pragma once
#include <array>
#include <optional>
#include <string>

#include "core/measure/FrontPanelState.h"

namespace merilog {

// The limits of one meter position: a reading above high or below low is
// outside. Either may be absent.
struct ReadingLimits {
  std::optional<double> high, low;
  bool Any() const { return high.has_value() || low.has_value(); }
  bool Outside(double v) const { return (high && v > *high) || (low && v < *low); }
  // "above the high limit 10" / "below the low limit -2", for the run log.
  std::string Describe(double v) const;
};
using PositionLimits = std::array<ReadingLimits, kMeterPositions>;

// Whether a position's readings are outside its limits now, and how many were.
class LimitWatch {
 public:
  enum class Change { None, Crossed, Returned };
  // The main value of a reading taken: counted when outside; says whether it
  // crossed out (the first reading outside) or came back in.
  Change Note(const ReadingLimits& limits, double value);
  bool Outside() const { return outside_; }
  long long Count() const { return count_; }

 private:
  bool outside_ = false;
  long long count_ = 0;
};

}  // namespace merilog
