#pragma once
// Shared by the chart and live benchmarks: a full 8 x 2000 chart and the timing helper.
#include <QElapsedTimer>
#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <vector>

#include "core/measure/ChartModel.h"

namespace merilog::bench {

// Eight noisy, drifting signals, each about a division from its neighbour.
inline void FillBuffer(ChartModel& chart) {
  std::mt19937_64 rng(7);
  std::normal_distribution<double> noise(0.0, 0.05);
  const std::array<int, 4> traces{0, 1, 2, 3};
  for (int i = 0; i < ChartBuffer::kCapacity; ++i) {
    chart.Buffer().AdvanceWindow(traces);
    for (int t = 0; t < ChartBuffer::kTraceCount; ++t)
      chart.Buffer().Store(t, (t - 3.5) + 0.6 * std::sin(i / 150.0 + t) + noise(rng));
  }
}

template <typename F>
double MedianMs(int runs, F&& work) {
  std::vector<double> ms;
  QElapsedTimer timer;
  for (int i = 0; i < runs; ++i) {
    timer.start();
    work();
    ms.push_back(timer.nsecsElapsed() / 1e6);
  }
  std::sort(ms.begin(), ms.end());
  return ms[ms.size() / 2];
}

// Four dual meters in multi-device mode: every trace drawn.
inline ChartDrawInputs AllTraces() {
  ChartDrawInputs inputs;
  inputs.multiDeviceMode = true;
  inputs.meterCount = 4;
  inputs.secondActive = true;
  inputs.hasSecond = {true, true, true, true};
  return inputs;
}

}  // namespace merilog::bench
