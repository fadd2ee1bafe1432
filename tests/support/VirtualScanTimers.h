#pragma once
#include <QDateTime>
#include <array>
#include <functional>
#include <utility>
#include <vector>

#include "core/base/Clock.h"
#include "core/scan/ScanTimers.h"
#include "support/TestSupport.h"

namespace merilog::test {

// The scan run's timers on a fixed clock: nothing fires by itself; FireNext
// moves the clock to the earliest timer due and fires it, so a night of
// timers runs in as long as its handlers take.
class VirtualScanTimers : public ScanTimers {
 public:
  explicit VirtualScanTimers(FixedClock& clock) : clock_(clock) {}

  void StartRepeating(ScanTimerId timer, int periodMs) override { Set(timer, periodMs, true); }
  void StartOnce(ScanTimerId timer, int delayMs) override { Set(timer, delayMs, false); }
  void Stop(ScanTimerId timer) override { At(timer).on = false; }
  bool Running(ScanTimerId timer) const override { return timers_[static_cast<std::size_t>(timer)].on; }

  // False when no timer runs or the next one is due after `untilMs` (clock time).
  bool FireNext(qint64 untilMs) {
    int next = -1;
    for (int i = 0; i < kScanTimerCount; ++i)
      if (timers_[i].on && (next < 0 || timers_[i].dueMs < timers_[next].dueMs)) next = i;
    if (next < 0 || timers_[next].dueMs > untilMs) return false;
    Entry& e = timers_[next];
    clock_.AdvanceMs(e.dueMs - clock_.NowMs());
    if (e.repeating)
      e.dueMs += e.periodMs;
    else
      e.on = false;
    Fire(static_cast<ScanTimerId>(next));
    return true;
  }

  // Every start, in order: which timer and its period or delay.
  std::vector<std::pair<ScanTimerId, int>> starts;

 private:
  struct Entry {
    bool on = false;
    bool repeating = false;
    int periodMs = 0;
    qint64 dueMs = 0;
  };
  Entry& At(ScanTimerId timer) { return timers_[static_cast<std::size_t>(timer)]; }
  void Set(ScanTimerId timer, int ms, bool repeating) {
    starts.emplace_back(timer, ms);
    At(timer) = {true, repeating, ms, clock_.NowMs() + ms};
  }

  FixedClock& clock_;
  std::array<Entry, kScanTimerCount> timers_{};
};

// Runs a scan's schedule while `active` holds: each timer fires at its moment,
// and while `waiting` (an answer is on its way) the clock does not move. False
// when the run is still going at `limitMs` from now, or an answer never came.
inline bool RunSchedule(VirtualScanTimers& timers, const Clock& clock, const std::function<bool()>& active,
                        const std::function<bool()>& waiting, qint64 limitMs = 48LL * 3600 * 1000) {
  const qint64 until = clock.NowMs() + limitMs;
  for (;;) {
    if (waiting() && !RunUntil([&] { return !waiting(); })) return false;
    if (!active()) return true;
    if (!timers.FireNext(until)) return false;
  }
}

}  // namespace merilog::test
