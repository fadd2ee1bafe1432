#pragma once
#include <QTimer>
#include <functional>
#include <memory>
#include <vector>

#include "core/base/WorkerThread.h"
#include "core/measure/MeterReading.h"

namespace merilog {

class Clock;
class SessionWorker;
struct PacingState;

// A reading run's timer kept on the meters' own threads. Every period the
// first meter's thread asks its meter and has the other meters' threads ask
// theirs; a tick whose answers are all in is handed to the owner's thread.
// Nothing crosses threads to start a tick, and when ticks come faster than
// anybody can look at them (a period under kHoldMs), they are handed over in
// batches at most every kHoldMs: one meter read every millisecond costs its
// thread the timer's wake and the answer's wait, and the owner almost nothing.
class ReadingPacer {
 public:
  struct Tick {
    std::vector<MeterReading> readings;  // in meter order, each stamped when its answer came
    long long late = 0;                  // due times that passed while an earlier tick was still answered
    bool timeUp = false;                 // the stop time had come: nothing was read
  };
  struct Plan {
    std::vector<SessionWorker*> workers;  // per meter; the first keeps the time; none may be null
    int periodMs = 25;
    bool pipelined = false;
    long long ticks = 0;  // ticks to take, 0: until stopped
    qint64 stopMs = 0;    // the clock's NowMs() at which the run stops, 0: never
  };
  static constexpr int kHoldMs = 20;

  // Starts at once; `deliver` gets the finished ticks on this thread, in order.
  // After a tick with a failed read, the time is up or `ticks` have been
  // taken, no tick starts.
  ReadingPacer(Plan plan, const Clock& clock, std::function<void(std::vector<Tick>)> deliver);
  ~ReadingPacer();
  ReadingPacer(const ReadingPacer&) = delete;
  ReadingPacer& operator=(const ReadingPacer&) = delete;

  // No tick starts and nothing is delivered after this. A read already asked
  // finishes on its own thread (the owner aborts it, when it should not).
  void Stop();

 private:
  void Drain();

  std::shared_ptr<PacingState> shared_;  // with the meters' threads
  SessionWorker* keeper_;
  std::function<void(std::vector<Tick>)> deliver_;
  bool batched_;
  QTimer hold_;
  CallbackGuard guard_;
};

}  // namespace merilog
