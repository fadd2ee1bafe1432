#include "core/records/RecordSummary.h"

#include "core/records/RecordFormat.h"

namespace merilog {

namespace {

bool SameDouble(double a, double b) {
  return (std::isnan(a) && std::isnan(b)) || a == b;
}

void AddToBlock(ColumnBlock& b, const RecordCell& c, bool markerMissing) {
  if (c.null || (markerMissing && c.value == kNoSecondValue))
    ++b.missing;
  else if (c.value == kOverloadValue)
    ++b.overloads;
  else
    b.AddValue(c.value);
}

}  // namespace

void ColumnBlock::AddValue(double v) {
  if (!HasValues()) {
    low = high = v;
    return;
  }
  if (v < low) low = v;
  if (v > high) high = v;
}

void ColumnBlock::Merge(const ColumnBlock& other) {
  missing += other.missing;
  overloads += other.overloads;
  if (other.HasValues()) {
    AddValue(other.low);
    AddValue(other.high);
  }
}

bool ColumnBlock::operator==(const ColumnBlock& o) const {
  return missing == o.missing && overloads == o.overloads && SameDouble(low, o.low) && SameDouble(high, o.high);
}

void RecordSummary::Add(long long rowid, const RecordCell& v, const RecordCell& v2) {
  if (rows == 0) firstRowid = rowid;
  lastRowid = rowid;
  ++rows;
  if (!v.null) {
    bySql |= !v.number;
    value.Add(v.value);
  }
  if (!v2.null) {
    bySql |= !v2.number;
    value2nd.Add(v2.value);
    if (v2.value != kNoSecondValue) second.Add(v2.value);
  }
  Partial& p = partial_[1];
  if (p.rows == 0) p.block = PyramidBlock{rowid, {}, {}};
  AddToBlock(p.block.value, v, false);
  AddToBlock(p.block.second, v2, true);
  if (++p.rows == kPyramidFanout) Complete(1);
}

void RecordSummary::Complete(int level) {
  Partial& done = partial_[level];
  if (sink_) sink_(level, rows / PyramidBlockRows(level) - 1, done.block);
  if (level < kPyramidLevels) {
    Partial& up = partial_[level + 1];
    if (up.rows == 0) up.block = PyramidBlock{done.block.firstRowid, {}, {}};
    up.block.value.Merge(done.block.value);
    up.block.second.Merge(done.block.second);
    if (++up.rows == kPyramidFanout) Complete(level + 1);
  }
  done = Partial{};
}

void RecordSummary::RestorePartial(int level, const PyramidBlock& block, long long rowsInIt) {
  partial_[level] = Partial{block, rowsInIt};
}

bool RecordSummary::Contiguous() const {
  if (rows == 0) return true;
  // In unsigned arithmetic the span of any two row ids is exact (up to 2^64 - 1, beyond any row count).
  const unsigned long long span =
      static_cast<unsigned long long>(lastRowid) - static_cast<unsigned long long>(firstRowid);
  return span == static_cast<unsigned long long>(rows - 1);
}

}  // namespace merilog
