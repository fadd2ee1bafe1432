#pragma once
#include <QDateTime>
#include <array>
#include <utility>
#include <vector>

#include "core/base/Clock.h"
#include "core/scan/ScanTimers.h"

namespace merilog::test {

// The scan run's timers on a fixed clock: nothing fires by itself; FireNext
// moves the clock to the earliest timer due and fires it, so a night of
// timers runs in as long as its handlers take.
class VirtualScanTimers : public ScanTimers {
 public:
  explicit VirtualScanTimers(FixedClock& clock) : clock_(clock) {}

  void StartRepeating(ScanTimer timer, int periodMs) override { Set(timer, periodMs, true); }
  void StartOnce(ScanTimer timer, int delayMs) override { Set(timer, delayMs, false); }
  void Stop(ScanTimer timer) override { At(timer).on = false; }
  bool Running(ScanTimer timer) const override { return timers_[static_cast<std::size_t>(timer)].on; }

  // False when no timer runs or the next one is due after `untilMs` (clock time).
  bool FireNext(qint64 untilMs) {
    int next = -1;
    for (int i = 0; i < kScanTimerCount; ++i)
      if (timers_[i].on && (next < 0 || timers_[i].dueMs < timers_[next].dueMs)) next = i;
    if (next < 0 || timers_[next].dueMs > untilMs) return false;
    Entry& e = timers_[next];
    clock_.Set(QDateTime::fromMSecsSinceEpoch(e.dueMs));
    if (e.repeating)
      e.dueMs += e.periodMs;
    else
      e.on = false;
    Fire(static_cast<ScanTimer>(next));
    return true;
  }

  // Every start, in order: which timer and its period or delay.
  std::vector<std::pair<ScanTimer, int>> starts;

 private:
  struct Entry {
    bool on = false;
    bool repeating = false;
    int periodMs = 0;
    qint64 dueMs = 0;
  };
  Entry& At(ScanTimer timer) { return timers_[static_cast<std::size_t>(timer)]; }
  void Set(ScanTimer timer, int ms, bool repeating) {
    starts.emplace_back(timer, ms);
    At(timer) = {true, repeating, ms, clock_.Now().toMSecsSinceEpoch() + ms};
  }

  FixedClock& clock_;
  std::array<Entry, kScanTimerCount> timers_{};
};

}  // namespace merilog::test
