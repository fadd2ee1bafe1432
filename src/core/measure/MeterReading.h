#pragma once
#include <QTime>
#include <string>

#include "core/instrument/Session.h"

namespace merilog {

// One meter's answer in a tick and when it came.
struct MeterReading {
  std::string answer;
  bool ok = false;      // the read succeeded (the connection flag)
  bool failed = false;  // no answer and a failed read: the run must stop
  Status status = 0;    // of the read, for the run log
  QTime at;             // stamped when the answer came
};
// Normal mode: "read?\n" through the query. Pipelined: the answer to the
// request sent a tick before, then at once the next request ("read?" without
// its line feed).
MeterReading ReadMeter(Session* session, bool pipelined);

}  // namespace merilog
