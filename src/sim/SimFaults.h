#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace merilog::sim {

// Misbehaviour a simulated meter can be told to show. Counts are of answers the
// meter has produced since power-on.
struct SimFaults {
  int silentAfter = -1;             // after this many answers the meter hangs: takes bytes, does and answers nothing
  int dropAfter = -1;               // after this many answers the meter drops off the bus
  int closeAfter = -1;              // TCP server only: answers per connection before the server closes it
  int delayMs = 0;                  // every answer comes this late
  int garbageEvery = 0;             // every n-th answer is garbage (0: never)
  std::size_t longAnswerBytes = 0;  // answers are stretched to at least this many bytes (0: off)
  int scanStallAt = -1;             // the scanner card stops counting at this many readings
  // After this many commands the meter vanishes (off the bus, a server closes its
  // connections and refuses new ones), comes back backAfterMs later with the same
  // identification, and vanishes again after as many commands more.
  int vanishAfter = -1;
  int backAfterMs = 1000;
};

// Applies one "name=value" fault, e.g. "silent-after=3", "delay-ms=500",
// "garbage-every=2", "long-answer=5000", "drop-after=10", "close-after=1",
// "vanish-after=200", "back-after-ms=3000".
bool ApplyFault(std::string_view text, SimFaults* faults, std::string* error);
bool ApplyFault(std::string_view name, std::string_view value, SimFaults* faults, std::string* error);
// The fault names ApplyFault knows, for messages and usage texts.
const char* FaultNames();

}  // namespace merilog::sim
