#pragma once
#include <array>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "sim/SimFunctions.h"

namespace merilog::sim {

struct FunctionSettings {
  double range = 0;  // the fixed range; while autoRange is on the meter picks its own
  bool autoRange = true;
  double nplc = 10;
};

// Temperature-sensor coefficients, by position in SimMeterState::coefficients.
enum Coefficient {
  kRtdAlpha,
  kRtdBeta,
  kRtdDelta,
  kRtdRZero,
  kSprtdRZero,
  kSprtdA4,
  kSprtdB4,
  kSprtdAx,
  kSprtdBx,
  kSprtdCx,
  kNtcA,
  kNtcB,
  kNtcC,
  kCoefficientCount
};

// A scan set up on the scanner card and, once started, its progress.
struct ScanState {
  std::vector<Fn> functions;  // per channel, channel 1 at position 0
  int count = 1;              // readings to take
  double timerSeconds = 0;    // between readings
  bool running = false;       // started and not aborted (it may have finished)
  bool stepMode = false;
  std::int64_t startMs = 0;   // clock time of the start
  std::vector<int> channels;  // 0-based channels in reading order
  std::uint64_t firstReading = 0;
  int abortedAt = -1;  // readings done when it was aborted
};

struct PowerSupplyState {
  double voltage = 0;
  double current = 0.1;
  bool output = false;
};

// Everything a simulated meter remembers; *RST returns it to the power-on values.
struct SimMeterState {
  Fn function = Fn::VoltDc;
  Fn function2 = Fn::None;
  std::array<FunctionSettings, kFunctionCount> settings{};
  double bandwidth = 20;  // AC detector bandwidth, Hz
  double aperture = 0.1;  // one gate time for the whole frequency and period family, s
  char unit = 'C';
  std::string rtdType = "PT100";
  bool fourWire = false;
  std::string tcoupleType = "K";
  std::array<double, kCoefficientCount> coefficients{};
  int sampleCount = 1;
  std::string memory;  // readings kept by INIT for FETCh?
  bool memoryFromScan = false;
  ScanState scan;
  PowerSupplyState psu;
  std::deque<std::pair<int, std::string>> errors;
  int esr = 0;
  int ese = 0;
  int sre = 0;
};

}  // namespace merilog::sim
