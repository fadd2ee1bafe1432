#pragma once
#include <QDateTime>
#include <atomic>

namespace merilog {

// Source of local date and time with milliseconds; tests substitute a fixed
// clock. Asked from any thread (a reading is stamped when its answer comes).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime Now() const = 0;
};

class SystemClock : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
};

// A clock that stands still until told to move, or moves a fixed step at every
// reading of it; for tests and benchmarks. Safe to read from any thread.
class FixedClock : public Clock {
 public:
  explicit FixedClock(const QDateTime& t) : ms_(t.toMSecsSinceEpoch()) {}
  QDateTime Now() const override { return QDateTime::fromMSecsSinceEpoch(ms_.fetch_add(stepMs_) + stepMs_); }
  void Set(const QDateTime& t) { ms_ = t.toMSecsSinceEpoch(); }
  void AdvanceMs(qint64 ms) { ms_ += ms; }
  // Every Now() first moves the clock this far (0: it stands still).
  void SetStepMs(qint64 ms) { stepMs_ = ms; }

 private:
  mutable std::atomic<qint64> ms_;
  std::atomic<qint64> stepMs_{0};
};

}  // namespace merilog
