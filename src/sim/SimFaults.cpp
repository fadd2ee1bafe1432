#include "sim/SimFaults.h"

#include <charconv>

#include "sim/ScpiParser.h"

namespace merilog::sim {

const char* FaultNames() {
  return "silent-after, drop-after, close-after, delay-ms, garbage-every, long-answer, scan-stall-at, vanish-after, back-after-ms";
}

bool ApplyFault(std::string_view text, SimFaults* faults, std::string* error) {
  const auto eq = text.find('=');
  if (eq == std::string_view::npos) {
    if (error) *error = "fault \"" + std::string(text) + "\" needs a value, as in silent-after=3";
    return false;
  }
  return ApplyFault(Trim(text.substr(0, eq)), Trim(text.substr(eq + 1)), faults, error);
}

bool ApplyFault(std::string_view name, std::string_view value, SimFaults* faults, std::string* error) {
  long long n = 0;
  const auto* first = value.data();
  const auto* last = value.data() + value.size();
  const auto [end, ec] = std::from_chars(first, last, n);
  if (value.empty() || ec != std::errc() || end != last || n < 0 || n > 100000000) {
    if (error)
      *error = "fault " + std::string(name) + " needs a whole number from 0, not \"" + std::string(value) + "\"";
    return false;
  }
  const std::string key = ToUpper(name);
  if (key == "SILENT-AFTER")
    faults->silentAfter = static_cast<int>(n);
  else if (key == "DROP-AFTER")
    faults->dropAfter = static_cast<int>(n);
  else if (key == "CLOSE-AFTER")
    faults->closeAfter = static_cast<int>(n);
  else if (key == "DELAY-MS")
    faults->delayMs = static_cast<int>(n);
  else if (key == "GARBAGE-EVERY")
    faults->garbageEvery = static_cast<int>(n);
  else if (key == "LONG-ANSWER")
    faults->longAnswerBytes = static_cast<std::size_t>(n);
  else if (key == "SCAN-STALL-AT")
    faults->scanStallAt = static_cast<int>(n);
  else if (key == "VANISH-AFTER")
    faults->vanishAfter = static_cast<int>(n);
  else if (key == "BACK-AFTER-MS")
    faults->backAfterMs = static_cast<int>(n);
  else {
    if (error) *error = "unknown fault \"" + std::string(name) + "\" (known: " + FaultNames() + ")";
    return false;
  }
  return true;
}

}  // namespace merilog::sim
