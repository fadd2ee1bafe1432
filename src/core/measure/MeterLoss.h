#pragma once
#include <QDateTime>
#include <QtGlobal>
#include <string>

#include "core/records/RecordGaps.h"

namespace merilog {

// One meter's losses during a run that keeps reading through them: whether it
// is lost and since when, when it is looked for next, and the gaps it has had.
// Looking for it again waits 0.5 s after the loss, then twice as long after each
// try that found nothing, at most 30 s, for as long as the run lasts. Time comes
// in as milliseconds of the run's clock, so tests step through the waits.
class MeterLoss {
 public:
  static constexpr qint64 kFirstWaitMs = 500;
  static constexpr qint64 kLongestWaitMs = 30000;

  // The meter stopped answering: the gap starts at `since` (its last request).
  void Lose(const QDateTime& since, qint64 nowMs, std::string cause);
  bool Lost() const { return lost_; }
  // Lost, no try on its way, and the wait is over.
  bool TryDue(qint64 nowMs) const { return lost_ && !trying_ && nowMs >= nextTryMs_; }
  void Trying() { trying_ = true; }
  // The try found nothing (or a meter not fit to go on): wait longer.
  void TryFailed(qint64 nowMs, std::string why);
  // Found and ready: the gap ends at `at`; returns it for the record.
  RecordGap Back(const QDateTime& at);
  // The run stops while the meter is lost: the gap ends with it.
  RecordGap EndOfRun(const QDateTime& at) { return Back(at); }

  const QDateTime& Since() const { return since_; }
  const std::string& LastTry() const { return lastTry_; }
  int Tries() const { return tries_; }
  // Closed gaps of this run.
  const RecordGapTotals& Totals() const { return totals_; }

 private:
  bool lost_ = false;
  bool trying_ = false;
  QDateTime since_;
  std::string cause_, lastTry_;
  qint64 nextTryMs_ = 0;
  qint64 waitMs_ = kFirstWaitMs;
  int tries_ = 0;
  RecordGapTotals totals_;
};

}  // namespace merilog
