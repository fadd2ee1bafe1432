#pragma once
#include <functional>

#include "core/labserver/PgConnection.h"

namespace merilog {

// How the forwarder sends and waits.
struct LabForwardPolicy {
  long long batchRows = 50000;  // readings per COPY batch, each batch one transaction
  int minPassMs = 1000;         // new rows wait this long at most, so a run's rows go in batches
  int firstBackoffMs = 1000;    // after a failed attempt; doubled each time
  int maxBackoffMs = 60000;
  int rescanMs = 60000;  // every record looked at again (other programs' rows, deleted files)
  PgConnection::Limits limits;
  // For fault tests: runs on the forwarder's thread after a batch's readings
  // went to the server and before its commit.
  std::function<void()> beforeCommit;
};

}  // namespace merilog
