#pragma once
#include <QTimer>
#include <array>

#include "core/scan/ScanTimers.h"

namespace merilog {

// The scan run's timers on the thread's Qt event loop.
class QtScanTimers : public ScanTimers {
 public:
  QtScanTimers();
  void StartRepeating(ScanTimer timer, int periodMs) override;
  void StartOnce(ScanTimer timer, int delayMs) override;
  void Stop(ScanTimer timer) override;
  bool Running(ScanTimer timer) const override;

 private:
  QTimer& Get(ScanTimer timer) { return timers_[static_cast<std::size_t>(timer)]; }
  std::array<QTimer, kScanTimerCount> timers_;
};

}  // namespace merilog
