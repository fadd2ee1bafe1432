#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "sim/SimFaults.h"

namespace merilog::sim {

// How one simulated instrument is put on the bench.
struct SimMeterDescription {
  std::string resource;        // "USB0::0x3A7D::0x6081::SN01::INSTR", "GPIB0::16::INSTR", ...
  std::string model = "6082";  // 6081, 6082, MR6082, P7710, P7700A, or PSU (an unsupported instrument)
  std::string serial;          // empty: the USB serial field of the resource, else one made from its address
  std::string identification;  // empty: "MERISIM,<model field>,<serial>,<version>"
  int channels = -1;           // scanner card size: 0 (no card), 10 or 20; -1: 20 on a scanner model, else 0
  std::uint64_t seed = 1;      // the readings of two meters with the same seed and history are equal
  int overloadEvery = 500;     // about one reading in this many is an overload; 0: never
  double capMaxRange = 0;      // largest capacitance range in farads; 0: the model's (0.01 on the dual models)
  SimFaults faults;
  std::vector<std::string> setup;  // commands the meter runs at power-on, e.g. "CONF:VOLT:AC"
  // Setting commands the meter takes without effect (SCPI header patterns, as SimCommandFaults::Refuse).
  std::vector<std::string> refused;
};

}  // namespace merilog::sim
