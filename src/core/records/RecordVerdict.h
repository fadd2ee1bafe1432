#pragma once
#include <QString>

#include "core/records/RecordSession.h"

namespace merilog {

// recordCheckState of a session start.
enum RecordCheckState : int {
  kCheckPassed = 0,
  kFunctionChanged = 1,
  kSecondFunctionChanged = 2,
  kBothChanged = 3,  // also: an earlier meter already failed
  kRecordHasReadings = 4,
};

// What the session start does with one saving meter's record, from the stored
// functions (CheckRecord) against the meter's present abbreviations.
struct RecordVerdict {
  enum class Action {
    None,           // blocked: nothing more for this meter
    Prepare,        // PrepareRecord now
    AskToContinue,  // ask ContinuationQuestion; Yes -> PrepareRecord, No -> block and stop
  };
  int state = kCheckPassed;  // the start's recordCheckState after this meter
  bool blocked = false;      // recordBlocked for this meter
  QString message;           // shown at once with the exclamation icon when not empty
  Action action = Action::None;
};

// The session start's table: state is recordCheckState before this meter.
// A record file that cannot be read blocks the record with its error text, and
// a missing folder (whose message was shown) blocks it silently, so the run
// never starts without a file to write into.
RecordVerdict DecideRecordVerdict(const RecordCheck& check, const QString& function1, const QString& function2,
                                  int state);

// The burst's comparisons (no question; a dated DBfile entry is refused).
struct BurstVerdict {
  enum class Outcome {
    Continue,
    FunctionChanged,  // stop first, then show message
    HasReadings,      // show message, nothing stopped
  };
  Outcome outcome = Outcome::Continue;
  QString message;
};
BurstVerdict DecideBurstVerdict(const QString& stored1, const QString& stored2, const QString& function1,
                                const QString& function2, bool datedDBfileEntry);

}  // namespace merilog
