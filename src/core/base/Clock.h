#pragma once
#include <QDateTime>
#include <atomic>
#include <ctime>

namespace merilog {

// Source of local date and time with milliseconds; tests substitute a fixed
// clock. Asked from any thread (a reading is stamped when its answer comes).
class Clock {
 public:
  virtual ~Clock() = default;
  virtual QDateTime Now() const = 0;
  // The local time of day of Now(), for stamping each of many readings.
  virtual QTime TimeOfDay() const { return Now().time(); }
  // The same moment as milliseconds since the epoch, without the local-time
  // conversion a QDateTime costs: for code that only measures time spans.
  virtual qint64 NowMs() const { return Now().toMSecsSinceEpoch(); }
};

class SystemClock : public Clock {
 public:
  QDateTime Now() const override { return QDateTime::currentDateTime(); }
#ifndef _WIN32
  // Without a look at the time-zone files on every call (a burst stamps tens
  // of thousands of readings a second).
  QTime TimeOfDay() const override {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    tm local{};
    localtime_r(&now.tv_sec, &local);
    // A leap second (60) is shown as the second before it.
    return QTime(local.tm_hour, local.tm_min, local.tm_sec < 60 ? local.tm_sec : 59,
                 static_cast<int>(now.tv_nsec / 1000000));
  }
#endif
  qint64 NowMs() const override {
    return QDateTime::currentMSecsSinceEpoch();
  }
};

// A clock that stands still until told to move, or moves a fixed step at every
// reading of it; for tests and benchmarks. Safe to read from any thread.
class FixedClock : public Clock {
 public:
  explicit FixedClock(const QDateTime& t) : ms_(t.toMSecsSinceEpoch()) {}
  QDateTime Now() const override { return QDateTime::fromMSecsSinceEpoch(NowMs()); }
  qint64 NowMs() const override { return ms_.fetch_add(stepMs_) + stepMs_; }
  void Set(const QDateTime& t) { ms_ = t.toMSecsSinceEpoch(); }
  void AdvanceMs(qint64 ms) { ms_ += ms; }
  // Every Now() first moves the clock this far (0: it stands still).
  void SetStepMs(qint64 ms) { stepMs_ = ms; }

 private:
  mutable std::atomic<qint64> ms_;
  std::atomic<qint64> stepMs_{0};
};

}  // namespace merilog
