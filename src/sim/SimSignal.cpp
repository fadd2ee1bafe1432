#include "sim/SimSignal.h"

#include <algorithm>
#include <cmath>

namespace merilog::sim {
namespace {

std::uint64_t SplitMix(std::uint64_t x) {
  x += 0x9E3779B97F4A7C15ull;
  x = (x ^ (x >> 30)) * 0xBF58476D1CE4E5B9ull;
  x = (x ^ (x >> 27)) * 0x94D049BB133111EBull;
  return x ^ (x >> 31);
}

double Unit(std::uint64_t h) {
  return static_cast<double>(h >> 11) * (1.0 / 9007199254740992.0);
}  // [0, 1)

constexpr double kPi = 3.14159265358979323846;
constexpr double kDriftPeriod = 997.0;  // readings per drift cycle
constexpr double kDriftAmplitude = 3e-4;

}  // namespace

std::uint64_t SimSignal::Hash(std::uint64_t a, std::uint64_t b, std::uint64_t c) const {
  return SplitMix(SplitMix(SplitMix(seed_ ^ 0x5157u) ^ a) ^ (b * 0x100000001B3ull)) ^ SplitMix(c);
}

double SimSignal::Level(Fn fn, int channel) const {
  const double typical = Info(fn).typical;
  // Each meter and channel sits a little apart so that two traces never coincide.
  const double spread =
      0.1 * (Unit(Hash(static_cast<std::uint64_t>(fn), static_cast<std::uint64_t>(channel), 1)) - 0.5);
  const double channelStep = channel > 0 ? 0.5 + 0.1 * channel : 1.0;
  return typical * channelStep * (1.0 + spread);
}

double SimSignal::Value(Fn fn, int channel, std::uint64_t k, double nplc) const {
  if (fn == Fn::None) return 0.0;
  const auto f = static_cast<std::uint64_t>(fn);
  const auto ch = static_cast<std::uint64_t>(channel);
  const std::uint64_t h = Hash(f * 64 + ch, k, 2);
  if (overloadEvery_ > 0 && h % static_cast<std::uint64_t>(overloadEvery_) == 0) return kOverload;

  const double phase = 2 * kPi * Unit(Hash(f, ch, 3));
  const double drift = kDriftAmplitude * std::sin(2 * kPi * static_cast<double>(k) / kDriftPeriod + phase);
  // Box-Muller from two further hashes.
  const double u1 = std::max(Unit(Hash(f * 64 + ch, k, 4)), 1e-12);
  const double u2 = Unit(Hash(f * 64 + ch, k, 5));
  const double gauss = std::sqrt(-2.0 * std::log(u1)) * std::cos(2 * kPi * u2);
  const double integration = nplc > 0 ? std::sqrt(std::max(nplc, 0.001)) : 1.0;
  const double noise = Info(fn).noise * gauss / integration;
  return Level(fn, channel) * (1.0 + drift + noise);
}

}  // namespace merilog::sim
