#pragma once
#include <functional>

namespace merilog {

// The timers of a scan run: the progress poll, the wait for the start time,
// the wait for the next interval, and the one-shot wait before the readings
// are fetched. The window's event loop drives them (QtScanTimers); tests drive
// them on a clock of their own, so an overnight schedule runs in milliseconds.
enum class ScanTimerId { Progress, StartTime, Interval, FetchWait };
inline constexpr int kScanTimerCount = 4;

class ScanTimers {
 public:
  virtual ~ScanTimers() = default;
  // (Re)starts a timer that fires every periodMs, the first time periodMs from now.
  virtual void StartRepeating(ScanTimerId timer, int periodMs) = 0;
  // (Re)starts a timer that fires once, delayMs from now.
  virtual void StartOnce(ScanTimerId timer, int delayMs) = 0;
  virtual void Stop(ScanTimerId timer) = 0;
  virtual bool Running(ScanTimerId timer) const = 0;

  // Called with each timer that fires.
  void SetHandler(std::function<void(ScanTimerId)> handler) { handler_ = std::move(handler); }

 protected:
  void Fire(ScanTimerId timer) {
    if (handler_) handler_(timer);
  }

 private:
  std::function<void(ScanTimerId)> handler_;
};

}  // namespace merilog
