#pragma once
#include <memory>
#include <vector>

#include "core/records/RecordSummary.h"

namespace SQLite {
class Database;
class Statement;
}  // namespace SQLite

struct sqlite3_value;

namespace merilog::record_summary {

// How the summary a record file keeps stands against the file.
enum class Kept {
  None,     // missing, changed by another program, or not believable: read the rows
  Behind,   // right up to its last row, and rows were appended after it: read those
  Current,  // right as it is
};

struct Loaded {
  Kept kept = Kept::None;
  RecordSummary summary;  // as kept (for Current and Behind)
};

// Reads the kept summary and checks it against the file with a few seeks:
// the change counter, the triggers, the row ids, the pyramid's levels, and
// counts no file of this size can hold. Throws SQLite::Exception.
Loaded Load(SQLite::Database& db);

// Makes the partly filled blocks of a loaded summary ready for more rows:
// reads at most 63 blocks of each level and the rows after the last full
// block of level 1. Throws SQLite::Exception.
void RestorePartials(SQLite::Database& db, RecordSummary& summary);

// Replaces the summary row. Inside a write transaction, triggers off.
void StoreRow(SQLite::Database& db, const RecordSummary& summary);

// Writes pyramid blocks. Inside a write transaction, triggers off.
class BlockWriter {
 public:
  explicit BlockWriter(SQLite::Database& db);
  ~BlockWriter();
  void Write(int level, long long block, const PyramidBlock& b);

 private:
  std::unique_ptr<SQLite::Statement> insert_;
};

// Full blocks first..last of a level, in order; false when the file does not
// hold every one of them as written. Throws SQLite::Exception.
bool ReadBlocks(SQLite::Database& db, int level, long long first, long long last, std::vector<PyramidBlock>& out);

// A value of a row as the engine hands it over.
RecordCell CellOf(sqlite3_value* v);

}  // namespace merilog::record_summary
