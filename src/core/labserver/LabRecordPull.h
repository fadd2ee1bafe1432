#pragma once
#include <QString>

#include "core/labserver/LabLink.h"
#include "core/records/RecordResult.h"

namespace merilog {

struct LabPullResult {
  LabServerRecord record;  // as the server lists it
  long long readings = 0;  // rows written into the local record
  QString path;            // the local record file
};

// Brings a record of the server into local record `number` of the working
// folder, so that every local tool works on it. A number that holds a record
// file or a DBfile file is refused ("The record already has readings. Please
// select a different record."). The file is built under a temporary name and
// put in place only when complete, never over a file that appeared meanwhile.
// It carries the server's identity and bench, and notes every row as sent, so
// the forwarder does not send it back; rows added to it later go to the same
// record on the server.
RecordResult<LabPullResult> PullRecord(LabLink& link, const QString& bench, const QString& recordId,
                                       const QString& folder, int number);

}  // namespace merilog
