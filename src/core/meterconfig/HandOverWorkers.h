#pragma once
#include <memory>
#include <vector>

#include "core/instrument/DeviceHandOver.h"
#include "core/instrument/SessionWorker.h"

namespace merilog {

// Gives each handed device that came without a session thread one of its own
// over the session discovery lent it, until discovery hands its threads out
// itself. The borrowed session is never closed here. Keep this object for as
// long as the sessions live: a worker's last exchange may still be running.
class HandOverWorkers {
 public:
  // Fills in the missing workers; those of earlier calls are kept while their session is handed again.
  void Fill(DeviceHandOver& handOver);

 private:
  struct Made {
    Session* session;
    std::unique_ptr<SessionWorker> worker;
  };
  std::vector<Made> made_;
};

}  // namespace merilog
