#pragma once
#include <QString>
#include <atomic>
#include <functional>
#include <string>
#include <string_view>

#include "core/records/RecordAppender.h"
#include "core/records/RecordList.h"

namespace merilog {

class Clock;
class Session;

// One burst of the Multiple Readings dialog: what Start hands to the meter's
// session thread.
struct BurstRequest {
  QString folder;                 // the working folder found when the dialog opened
  int number = 0;                 // record number
  bool datedDBfileEntry = false;  // the chosen entry's kind flag
  long long count = 0;            // readings to take
  const Clock* clock = nullptr;   // r_date and read_time; read from the session's thread
  AppendPolicy policy;            // batched commits: a burst runs at the meter's pace
};

// How a burst ended.
enum class BurstEnd {
  Completed,        // all readings taken
  Stopped,          // Stop (or Ctrl-C) ended it; every reading taken is stored
  FunctionChanged,  // refused by the function verdict: message says which
  HasReadings,      // refused: the DBfile record already holds readings
  MeterFailed,      // the meter did not answer; the readings before are stored
  RecordFailed,     // the record could not be prepared or written: message names the file
};

struct BurstResult {
  BurstEnd end = BurstEnd::Completed;
  QString message;         // the verdict's or the record's text (empty for the others)
  long long readings = 0;  // rows stored in read
  double seconds = 0;      // from the first "read?" to the last row
  bool refilled = false;   // list holds the record choice listed after the run
  RecordList list;
};

// What the burst looks at while it runs, from the session's thread.
struct BurstControl {
  const std::atomic<bool>* stop = nullptr;  // set by Stop; read between readings
  // Readings stored so far and the seconds since the first; called at most
  // every kProgressMs and once more at the end.
  std::function<void(long long done, double seconds)> progress;
  static constexpr int kProgressMs = 50;
};

// A "read?" answer as the burst stores it: with a "," the numbers before and
// after the first one; without, the number in its first 15 characters and the
// no-second-value marker. Numbers are read as atof reads them.
struct BurstRow {
  double value = 0, value2nd = 0;
};
BurstRow ParseBurstAnswer(std::string_view answer);

// The Start handler's work after its checks, on the meter's session thread:
// "sample:count 1", the record preparation, the identification and function
// queries, the verdict, then one "read?" and one appended row per reading
// until the count is reached or stop is set, then the record choice listed
// again. Plain and synchronous, so tests and tools call it directly.
BurstResult RunBurst(Session* session, const BurstRequest& request, const BurstControl& control);

}  // namespace merilog
