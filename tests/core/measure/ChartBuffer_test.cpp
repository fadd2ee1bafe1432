#include "core/measure/ChartBuffer.h"

#include <gtest/gtest.h>

#include <array>

namespace merilog {
namespace {

// One tick of the acquisition cycle for the meters whose main traces are given.
void Tick(ChartBuffer& buffer, std::span<const int> traces, double value) {
  buffer.AdvanceWindow(traces);
  for (int t : traces) {
    buffer.Store(t, value);
    buffer.Store(t + 4, -value);
  }
}

TEST(ChartBuffer, FillsUpToXMaxThenScrollsOldestOutOfTheTracesOfMetersBeingRead) {
  ChartBuffer buffer;
  const std::array<int, 2> both{0, 1};
  for (int i = 1; i <= 30; ++i) Tick(buffer, both, i);
  EXPECT_EQ(buffer.PointCount(), 30);
  EXPECT_EQ(buffer.Value(0, 1), 1.0);
  EXPECT_EQ(buffer.Value(0, 30), 30.0);

  for (int i = 31; i <= 150; ++i) Tick(buffer, both, i);
  EXPECT_EQ(buffer.PointCount(), 100);
  EXPECT_EQ(buffer.Value(0, 1), 51.0);
  EXPECT_EQ(buffer.Value(0, 100), 150.0);
  EXPECT_EQ(buffer.Value(4, 1), -51.0);  // the 2ND trace scrolls with its meter
  EXPECT_EQ(buffer.Value(4, 100), -150.0);

  const std::array<int, 1> first{0};
  Tick(buffer, first, 151);
  EXPECT_EQ(buffer.Value(0, 1), 52.0);
  EXPECT_EQ(buffer.Value(1, 1), 51.0);  // meter 2 no longer read: its trace stays
  EXPECT_EQ(buffer.Value(1, 100), 150.0);
}

TEST(ChartBuffer, LoweredXMaxKeepsTheFirstPositionsAtTheNextTickAndSurvivesReset) {
  ChartBuffer buffer;
  const std::array<int, 1> traces{0};
  for (int i = 1; i <= 100; ++i) Tick(buffer, traces, i);
  ASSERT_TRUE(buffer.SetXMax(50));
  EXPECT_EQ(buffer.PointCount(), 100);  // clamped by the next tick, not at once
  Tick(buffer, traces, 101);
  EXPECT_EQ(buffer.PointCount(), 50);
  EXPECT_EQ(buffer.Value(0, 1), 2.0);
  EXPECT_EQ(buffer.Value(0, 49), 50.0);
  EXPECT_EQ(buffer.Value(0, 50), 101.0);

  buffer.Reset();
  EXPECT_EQ(buffer.PointCount(), 0);
  EXPECT_EQ(buffer.XMax(), 50);
  EXPECT_EQ(buffer.Value(0, 5), 0.0);
  EXPECT_EQ(buffer.Value(4, 5), 0.0);
}

TEST(ChartBuffer, PipelinedGrowthNeverPassesXMax) {
  ChartBuffer buffer;
  const std::array<int, 4> traces{0, 1, 2, 3};
  for (int tick = 0; tick < 40; ++tick) {
    buffer.AdvanceWindow(traces, /*grow=*/false);
    for (int t : traces) {
      buffer.GrowPoint();
      buffer.Store(t, 1.0);
    }
  }
  EXPECT_EQ(buffer.PointCount(), 100);
}

TEST(ChartBuffer, RefusesWritesAndLimitsOutsideTheTraces) {
  ChartBuffer buffer;
  buffer.Store(0, 5.0);  // PointCount 0: no position to write
  EXPECT_EQ(buffer.Value(0, 0), 0.0);
  const std::array<int, 1> outside{7};  // its 2ND trace would be 11
  buffer.AdvanceWindow(outside);
  buffer.SetPointCount(100);
  buffer.AdvanceWindow(outside);  // scrolls trace 7 only
  buffer.Store(8, 5.0);
  buffer.Store(-1, 5.0);
  EXPECT_EQ(buffer.Value(8, 1), 0.0);
  EXPECT_FALSE(buffer.SetXMax(49));
  EXPECT_FALSE(buffer.SetXMax(2001));
  EXPECT_EQ(buffer.XMax(), 100);
}

// A lost meter's positions scroll with the window and leave it; a reading
// stored over one clears it; the other traces never have any.
TEST(ChartBuffer, GapsMoveWithTheWindowAndLeaveIt) {
  ChartBuffer buffer;
  buffer.SetXMax(50);
  const std::array<int, 1> one{0};
  for (int i = 1; i <= 60; ++i) {
    buffer.AdvanceWindow(one);
    if (i == 55 || i == 56) {
      buffer.MarkGap(0);
      continue;
    }
    buffer.Store(0, i);
  }
  EXPECT_TRUE(buffer.IsGap(0, 45) && buffer.IsGap(0, 46));
  EXPECT_FALSE(buffer.IsGap(0, 44) || buffer.IsGap(0, 47) || buffer.IsGap(0, 50));
  EXPECT_FALSE(buffer.HasGaps(4));
  buffer.MarkGap(0);
  buffer.Store(0, 61);  // a reading after all: no gap there
  EXPECT_FALSE(buffer.IsGap(0, 50));
  for (int i = 0; i < 46; ++i) buffer.AdvanceWindow(one), buffer.Store(0, i);
  EXPECT_FALSE(buffer.HasGaps(0));
  buffer.Reset();
  EXPECT_FALSE(buffer.HasGaps(0));
}

}  // namespace
}  // namespace merilog
