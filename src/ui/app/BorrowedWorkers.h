#pragma once
#include <memory>
#include <vector>

#include "core/instrument/DeviceHandOver.h"

namespace merilog::ui {

// Until discovery hands every meter's worker to the dialogs, the dialogs that
// talk through workers get one here over the main window's own session. The
// window leaves its sessions alone while such a dialog is open (its meter
// commands are modal or locked); an exchange still waiting for a silent meter
// when the dialog closes finishes on the worker's thread.
class BorrowedWorkers {
 public:
  BorrowedWorkers();
  ~BorrowedWorkers();
  // Gives every handed meter that has a session but no worker a worker over
  // that session; workers of an earlier call are let go.
  void Fill(DeviceHandOver& handOver);

 private:
  std::vector<std::unique_ptr<SessionWorker>> workers_;
};

}  // namespace merilog::ui
