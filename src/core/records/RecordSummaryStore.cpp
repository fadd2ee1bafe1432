#include "core/records/RecordSummaryStore.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <limits>
#include <optional>

#include "core/records/RecordSchema.h"

namespace merilog::record_summary {

namespace {

// Fewer bytes than this per row no file can hold (a cell pointer, a length,
// a row id and a record header).
constexpr long long kLeastBytesPerRow = 4;

constexpr char kSummaryColumns[] =
    "layout, change_count, row_count, first_rowid, last_rowid, by_sql, "
    "value_count, value_sum, value_max, value_min, value2_count, value2_sum, value2_max, value2_min, "
    "second_count, second_sum, second_max, second_min";

// A statement read column by column with the engine's own calls.
class Query {
 public:
  Query(SQLite::Database& db, const std::string& sql) {
    if (sqlite3_prepare_v2(db.getHandle(), sql.c_str(), -1, &stmt_, nullptr) != SQLITE_OK)
      throw SQLite::Exception(db.getHandle());
  }
  ~Query() { sqlite3_finalize(stmt_); }
  Query(const Query&) = delete;
  Query& operator=(const Query&) = delete;
  sqlite3_stmt* get() const { return stmt_; }
  bool Step() {
    const int rc = sqlite3_step(stmt_);
    if (rc == SQLITE_ROW) return true;
    if (rc == SQLITE_DONE) return false;
    throw SQLite::Exception(sqlite3_db_handle(stmt_), rc);
  }

 private:
  sqlite3_stmt* stmt_ = nullptr;
};

long long FileBytes(SQLite::Database& db) {
  const char* name = sqlite3_db_filename(db.getHandle(), "main");
  struct stat st {};
  return name && ::stat(name, &st) == 0 ? static_cast<long long>(st.st_size) : 0;
}

bool IntegerAt(sqlite3_stmt* q, int i, long long* out) {
  if (sqlite3_column_type(q, i) != SQLITE_INTEGER) return false;
  *out = sqlite3_column_int64(q, i);
  return true;
}

// A number or NULL (nothing); false for a text or a blob.
bool NumberAt(sqlite3_stmt* q, int i, std::optional<double>* out) {
  switch (sqlite3_column_type(q, i)) {
    case SQLITE_NULL:
      out->reset();
      return true;
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      *out = sqlite3_column_double(q, i);
      return true;
    default:
      return false;
  }
}

// count, sum, max, min from column i on; checked against the row count.
bool ColumnAt(sqlite3_stmt* q, int i, long long rows, RunningColumn* c) {
  std::optional<double> sum;
  if (!IntegerAt(q, i, &c->count) || !NumberAt(q, i + 1, &sum) || !NumberAt(q, i + 2, &c->max) ||
      !NumberAt(q, i + 3, &c->min))
    return false;
  // The engine keeps an undefined sum (+inf and -inf added) as NULL.
  c->sum = sum.value_or(std::numeric_limits<double>::quiet_NaN());
  if (c->count < 0 || c->count > rows) return false;
  if ((c->count == 0) != !c->max.has_value() || c->max.has_value() != c->min.has_value()) return false;
  return !c->max || *c->min <= *c->max;
}

std::optional<long long> SingleRowid(SQLite::Database& db, const char* sql) {
  SQLite::Statement q(db, sql);
  if (!q.executeStep() || q.getColumn(0).isNull()) return std::nullopt;
  return q.getColumn(0).getInt64();
}

// The pyramid holds the full blocks of each level, numbered from 0 without a hole at either end.
bool LevelsAgree(SQLite::Database& db, long long rows) {
  // Two queries: each is one seek, while min and max asked together read the whole level.
  SQLite::Statement least(db, "SELECT min(block) FROM read_pyramid WHERE level = ?"),
      greatest(db, "SELECT max(block) FROM read_pyramid WHERE level = ?");
  for (int level = 1; level <= kPyramidLevels; ++level) {
    const long long blocks = rows / PyramidBlockRows(level);
    least.bind(1, level);
    greatest.bind(1, level);
    if (!least.executeStep() || !greatest.executeStep()) return false;
    const bool none = least.getColumn(0).isNull();
    if (blocks == 0 ? !none
                    : none || least.getColumn(0).getInt64() != 0 || greatest.getColumn(0).getInt64() != blocks - 1)
      return false;
    least.reset();
    greatest.reset();
  }
  return true;
}

bool BlockColumnAt(sqlite3_stmt* q, int i, ColumnBlock* c) {
  std::optional<double> low, high;
  if (!IntegerAt(q, i, &c->missing) || !IntegerAt(q, i + 1, &c->overloads) || !NumberAt(q, i + 2, &low) ||
      !NumberAt(q, i + 3, &high) || low.has_value() != high.has_value())
    return false;
  if (low) {
    c->low = *low;
    c->high = *high;
  }
  return c->missing >= 0 && c->overloads >= 0;
}

void BindBlockColumn(SQLite::Statement& s, int i, const ColumnBlock& c) {
  s.bind(i, static_cast<int64_t>(c.missing));
  s.bind(i + 1, static_cast<int64_t>(c.overloads));
  if (c.HasValues()) {
    s.bind(i + 2, c.low);
    s.bind(i + 3, c.high);
  } else {
    s.bind(i + 2);
    s.bind(i + 3);
  }
}

void BindColumn(SQLite::Statement& s, int i, const RunningColumn& c) {
  s.bind(i, static_cast<int64_t>(c.count));
  s.bind(i + 1, c.sum);  // a NaN is kept as NULL
  if (c.max) {
    s.bind(i + 2, *c.max);
    s.bind(i + 3, *c.min);
  } else {
    s.bind(i + 2);
    s.bind(i + 3);
  }
}

}  // namespace

RecordCell CellOf(sqlite3_value* v) {
  switch (sqlite3_value_type(v)) {
    case SQLITE_NULL:
      return {};
    case SQLITE_INTEGER:
    case SQLITE_FLOAT:
      return {false, true, sqlite3_value_double(v)};
    default:
      return {false, false, sqlite3_value_double(v)};
  }
}

Loaded Load(SQLite::Database& db) {
  Loaded out;
  if (!record_schema::Intact(db)) return out;
  const std::optional<long long> counter = record_schema::ChangeCount(db);
  if (!counter) return out;
  Query q(db, std::string("SELECT ") + kSummaryColumns + " FROM read_summary LIMIT 2");
  if (!q.Step()) return out;
  sqlite3_stmt* s = q.get();
  RecordSummary& r = out.summary;
  long long layout = 0, bySql = 0;
  if (!IntegerAt(s, 0, &layout) || layout != record_schema::kLayout || !IntegerAt(s, 1, &r.changeCount) ||
      r.changeCount != *counter || !IntegerAt(s, 2, &r.rows) || !IntegerAt(s, 3, &r.firstRowid) ||
      !IntegerAt(s, 4, &r.lastRowid) || !IntegerAt(s, 5, &bySql) || (bySql != 0 && bySql != 1))
    return out;
  r.bySql = bySql == 1;
  // Counts no file of this size could hold, or row ids that cannot hold them, are not believed.
  if (r.rows < 0 || r.rows > FileBytes(db) / kLeastBytesPerRow) return out;
  if (r.rows == 0 ? r.firstRowid != 0 || r.lastRowid != 0
                  : r.firstRowid > r.lastRowid ||
                        static_cast<unsigned long long>(r.lastRowid) - static_cast<unsigned long long>(r.firstRowid) <
                            static_cast<unsigned long long>(r.rows - 1))
    return out;
  if (!ColumnAt(s, 6, r.rows, &r.value) || !ColumnAt(s, 10, r.rows, &r.value2nd) ||
      !ColumnAt(s, 14, r.rows, &r.second) || r.second.count > r.value2nd.count)
    return out;
  if (q.Step()) return out;  // one row only

  const std::optional<long long> first = SingleRowid(db, "SELECT min(rowid) FROM read");
  const std::optional<long long> last = SingleRowid(db, "SELECT max(rowid) FROM read");
  if (r.rows == 0) {
    if (first) return out;
  } else if (first != r.firstRowid || !last || *last < r.lastRowid) {
    return out;
  }
  // Where the engine may put a new row into a gap (after a row at the greatest row id it picks one
  // at random; a row given -1 looks like one whose row id it chooses), no trigger can tell.
  if (last == std::numeric_limits<long long>::max() || (first && *first < 0)) return out;
  if (!LevelsAgree(db, r.rows)) return out;
  out.kept = r.rows > 0 && *last > r.lastRowid ? Kept::Behind : Kept::Current;
  return out;
}

bool ReadBlocks(SQLite::Database& db, int level, long long first, long long last, std::vector<PyramidBlock>& out) {
  Query q(db,
          "SELECT block, first_rowid, value_missing, value_overloads, value_low, value_high, "
          "second_missing, second_overloads, second_low, second_high FROM read_pyramid "
          "WHERE level = ? AND block BETWEEN ? AND ? ORDER BY block");
  sqlite3_stmt* s = q.get();
  sqlite3_bind_int(s, 1, level);
  sqlite3_bind_int64(s, 2, first);
  sqlite3_bind_int64(s, 3, last);
  long long expected = first;
  while (q.Step()) {
    long long block = 0;
    PyramidBlock b;
    if (!IntegerAt(s, 0, &block) || block != expected || !IntegerAt(s, 1, &b.firstRowid) ||
        !BlockColumnAt(s, 2, &b.value) || !BlockColumnAt(s, 6, &b.second))
      return false;
    out.push_back(b);
    ++expected;
  }
  return expected == last + 1;
}

void RestorePartials(SQLite::Database& db, RecordSummary& summary) {
  const long long rows = summary.rows;
  for (int level = kPyramidLevels; level >= 2; --level) {
    const long long children = (rows / PyramidBlockRows(level - 1)) % kPyramidFanout;
    if (children == 0) continue;
    const long long firstChild = rows / PyramidBlockRows(level) * kPyramidFanout;
    std::vector<PyramidBlock> blocks;
    if (!ReadBlocks(db, level - 1, firstChild, firstChild + children - 1, blocks))
      throw SQLite::Exception("the record's pyramid has lost blocks", SQLITE_CORRUPT);
    PyramidBlock partial{blocks.front().firstRowid, {}, {}};
    for (const PyramidBlock& b : blocks) {
      partial.value.Merge(b.value);
      partial.second.Merge(b.second);
    }
    summary.RestorePartial(level, partial, children);
  }
  const long long tail = rows % kPyramidFanout;
  if (tail == 0) return;
  // The last rows up to the summary's last one, read backwards.
  Query q(db, "SELECT rowid, read_value, read_value_2ND FROM read WHERE rowid <= ? ORDER BY rowid DESC LIMIT ?");
  sqlite3_stmt* s = q.get();
  sqlite3_bind_int64(s, 1, summary.lastRowid);
  sqlite3_bind_int64(s, 2, tail);
  struct Row {
    long long rowid;
    RecordCell value, value2nd;
  };
  std::vector<Row> rowsRead;
  while (q.Step())
    rowsRead.push_back(
        {sqlite3_column_int64(s, 0), CellOf(sqlite3_column_value(s, 1)), CellOf(sqlite3_column_value(s, 2))});
  if (static_cast<long long>(rowsRead.size()) != tail)
    throw SQLite::Exception("the record has lost rows", SQLITE_CORRUPT);
  std::reverse(rowsRead.begin(), rowsRead.end());
  // Rebuilt through a summary of their own, so that they count exactly as they did.
  RecordSummary part;
  for (const Row& r : rowsRead) part.Add(r.rowid, r.value, r.value2nd);
  summary.RestorePartial(1, part.PartialBlock(1), tail);
}

void StoreRow(SQLite::Database& db, const RecordSummary& r) {
  db.exec("DELETE FROM read_summary");
  SQLite::Statement ins(db, std::string("INSERT INTO read_summary (id, ") + kSummaryColumns +
                                ") VALUES (1, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
  ins.bind(1, record_schema::kLayout);
  ins.bind(2, static_cast<int64_t>(r.changeCount));
  ins.bind(3, static_cast<int64_t>(r.rows));
  ins.bind(4, static_cast<int64_t>(r.firstRowid));
  ins.bind(5, static_cast<int64_t>(r.lastRowid));
  ins.bind(6, r.bySql ? 1 : 0);
  BindColumn(ins, 7, r.value);
  BindColumn(ins, 11, r.value2nd);
  BindColumn(ins, 15, r.second);
  ins.exec();
}

BlockWriter::BlockWriter(SQLite::Database& db)
    : insert_(std::make_unique<SQLite::Statement>(
          db, "INSERT OR REPLACE INTO read_pyramid VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)")) {}

BlockWriter::~BlockWriter() = default;

void BlockWriter::Write(int level, long long block, const PyramidBlock& b) {
  SQLite::Statement& s = *insert_;
  s.bind(1, level);
  s.bind(2, static_cast<int64_t>(block));
  s.bind(3, static_cast<int64_t>(b.firstRowid));
  BindBlockColumn(s, 4, b.value);
  BindBlockColumn(s, 8, b.second);
  s.exec();
  s.reset();
}

}  // namespace merilog::record_summary
