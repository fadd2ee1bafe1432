#pragma once
#include <cstdint>

#include "sim/SimFunctions.h"

namespace merilog::sim {

// The simulated input signal: for each function a seeded value with slow drift,
// noise that shrinks with longer integration, and an occasional overload. A
// reading depends only on the seed, the function, the channel and the reading
// number, so a run repeats exactly.
class SimSignal {
 public:
  static constexpr double kOverload = 9.9e37;

  SimSignal(std::uint64_t seed, int overloadEvery) : seed_(seed), overloadEvery_(overloadEvery) {}
  // Reading number k of a function on a channel (0: the front input), in base units
  // (degrees Celsius for temperatures); kOverload now and then.
  double Value(Fn fn, int channel, std::uint64_t k, double nplc) const;
  // The level around which the readings of a function move, for auto-ranging.
  double Level(Fn fn, int channel) const;

 private:
  std::uint64_t Hash(std::uint64_t a, std::uint64_t b, std::uint64_t c) const;
  std::uint64_t seed_;
  int overloadEvery_;
};

}  // namespace merilog::sim
