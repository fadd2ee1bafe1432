#pragma once
#include <QDateTime>

namespace merilog {

// Source of local date and time with milliseconds; tests substitute a fixed clock.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until told to move; for tests and benchmarks.
class FixedClock : public Clock {
 public:
  explicit FixedClock(QDateTime t) : t_(std::move(t)) {}
  QDateTime Now() const override { return t_; }
  void Set(QDateTime t) { t_ = std::move(t); }
  void AdvanceMs(qint64 ms) { t_ = t_.addMSecs(ms); }

 private:
  QDateTime t_;
};

}  // namespace merilog
