#pragma once
#include <QTimer>
#include <array>

#include "core/scan/ScanTimers.h"

namespace merilog {

// The scan run's timers on the thread's Qt event loop.
class QtScanTimers : public ScanTimers {
 public:
  QtScanTimers();
  void StartRepeating(ScanTimerId timer, int periodMs) override;
  void StartOnce(ScanTimerId timer, int delayMs) override;
  void Stop(ScanTimerId timer) override;
  bool Running(ScanTimerId timer) const override;

 private:
  QTimer& Get(ScanTimerId timer) { return timers_[static_cast<std::size_t>(timer)]; }
  std::array<QTimer, kScanTimerCount> timers_;
};

}  // namespace merilog
