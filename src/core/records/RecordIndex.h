#pragma once
#include <QString>
#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/records/RecordFigures.h"
#include "core/records/RecordResult.h"
#include "core/records/RecordSummary.h"

namespace merilog {

class RecordDatabase;

// How far a long pass over rows has come; the pass stops when it returns false.
using RowProgress = std::function<bool(long long done, long long total)>;

// What is known of a record's rows without reading them all: how many there
// are and their row ids, the figures of both columns, and the min/max
// pyramid, so that any row is reached by position (0 for the first, in table
// order, as "select * from read" walks them) without walking the rows before it.
//
// A record this program wrote keeps all of it in the file (RecordSchema.h),
// and opens at once. Any other record, or one another program changed, is
// read once, in one pass (only the rows appended after what is kept, when that
// is all that changed); what the pass found is then kept in the file when the
// file may be written and no writer holds it, else held here.
class RecordIndex {
 public:
  // Fails with the file's problem, or with ReadingStopped when `progress` said stop.
  static RecordResult<RecordIndex> Open(RecordDatabase& record, const RowProgress& progress = {});

  const RecordSummary& Summary() const { return summary_; }
  long long RowCount() const { return summary_.rows; }
  // Whether Open had to read rows, and whether the file keeps what it found.
  bool Scanned() const { return scanned_; }
  bool KeptInFile() const { return !held_; }

  // The kept figures, or the SQL aggregates' for a record with texts among its values.
  RecordResult<RecordFigures> Figures(RecordDatabase& record) const;

  // The engine's row id at a position; nothing outside 0..RowCount()-1 (any
  // number is a row id). Throws SQLite::Exception, as the engine does.
  std::optional<long long> RowidAt(RecordDatabase& record, long long position) const;

  // Full blocks of a level of the pyramid.
  long long FullBlocks(int level) const { return summary_.rows / PyramidBlockRows(level); }
  // Blocks first..last (full ones) of a level, appended to `out`; false when
  // the file no longer holds them as written. Throws SQLite::Exception.
  bool Blocks(RecordDatabase& record, int level, long long first, long long last, std::vector<PyramidBlock>& out) const;

 private:
  // Blocks the pass found that the file does not keep: per level, from `first` on.
  struct HeldLevel {
    long long first = 0;
    std::vector<PyramidBlock> blocks;
  };
  using Held = std::array<HeldLevel, kPyramidLevels + 1>;

  RecordSummary summary_;
  std::shared_ptr<const Held> held_;  // shared by copies; never changed once made
  bool scanned_ = false;
};

// Makes what the record at `path` keeps right for its rows as they are now
// (reading them once when it is not), as the first reader would; false when
// the record cannot be read or the file could not keep it.
bool KeepRecordSummary(const QString& path);

// Rows of a record for a progress bar, without a pass: the kept count when it
// is right, else the span of its row ids. Throws SQLite::Exception.
long long EstimateRecordRows(RecordDatabase& record);

}  // namespace merilog
