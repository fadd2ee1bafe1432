#include "core/measure/MeterLoss.h"

#include <algorithm>

namespace merilog {

void MeterLoss::Lose(const QDateTime& since, qint64 nowMs, std::string cause) {
  lost_ = true;
  trying_ = false;
  since_ = since;
  cause_ = std::move(cause);
  lastTry_.clear();
  waitMs_ = kFirstWaitMs;
  nextTryMs_ = nowMs + waitMs_;
  tries_ = 0;
}

void MeterLoss::TryFailed(qint64 nowMs, std::string why) {
  trying_ = false;
  ++tries_;
  lastTry_ = std::move(why);
  waitMs_ = std::min(waitMs_ * 2, kLongestWaitMs);
  nextTryMs_ = nowMs + waitMs_;
}

RecordGap MeterLoss::Back(const QDateTime& at) {
  RecordGap gap;
  gap.start = since_;
  gap.end = at;
  gap.cause = QString::fromStdString(cause_);
  if (lost_) {
    ++totals_.count;
    totals_.ms += gap.Ms();
  }
  lost_ = false;
  trying_ = false;
  return gap;
}

}  // namespace merilog
