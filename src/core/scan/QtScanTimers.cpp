#include "core/scan/QtScanTimers.h"

namespace merilog {

QtScanTimers::QtScanTimers() {
  for (int i = 0; i < kScanTimerCount; ++i) {
    const auto timer = static_cast<ScanTimerId>(i);
    QObject::connect(&Get(timer), &QTimer::timeout, &Get(timer), [this, timer] { Fire(timer); });
  }
}

void QtScanTimers::StartRepeating(ScanTimerId timer, int periodMs) {
  Get(timer).setSingleShot(false);
  Get(timer).start(periodMs);
}

void QtScanTimers::StartOnce(ScanTimerId timer, int delayMs) {
  Get(timer).setSingleShot(true);
  Get(timer).start(delayMs);
}

void QtScanTimers::Stop(ScanTimerId timer) {
  Get(timer).stop();
}

bool QtScanTimers::Running(ScanTimerId timer) const {
  return timers_[static_cast<std::size_t>(timer)].isActive();
}

}  // namespace merilog
