#include "core/records/RecordIndex.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <algorithm>
#include <optional>

#include "core/records/RecordDatabase.h"
#include "core/records/RecordFileClaim.h"
#include "core/records/RecordPass.h"
#include "core/records/RecordSchema.h"
#include "core/records/RecordSummaryStore.h"
#include "core/records/RecordTexts.h"

namespace merilog {

namespace {

// Rows between two looks at the progress (and at a request to stop).
constexpr long long kProgressRows = 4096;

long long DataVersion(SQLite::Database& db) {
  return db.execAndGet("PRAGMA data_version").getInt64();
}

// A connection that may keep what the pass finds, opened before the pass so
// that any change another connection commits meanwhile is noticed (its
// data_version moves); nothing when the file may not be written.
struct Keeper {
  std::unique_ptr<RecordDatabase> db;
  long long version = 0;
};

std::optional<Keeper> OpenKeeper(const QString& path) {
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Keep);
  if (!db) return std::nullopt;
  try {
    Keeper k{std::move(db.value()), 0};
    k.db->Sql().execAndGet("SELECT max(rowid) FROM read");  // a read, so data_version has a base
    k.version = DataVersion(k.db->Sql());
    return k;
  } catch (const SQLite::Exception&) {
    return std::nullopt;
  }
}

// Rows the summary should expect, for the progress only.
long long Estimate(SQLite::Database& db, const RecordSummary& from) {
  // Two queries: each is one seek, while min and max asked together cost a pass over every row.
  SQLite::Statement least(db, "SELECT min(rowid) FROM read"), greatest(db, "SELECT max(rowid) FROM read");
  if (!least.executeStep() || least.getColumn(0).isNull() || !greatest.executeStep()) return 0;
  const long long first = from.rows > 0 ? from.lastRowid : least.getColumn(0).getInt64();
  const unsigned long long span =
      static_cast<unsigned long long>(greatest.getColumn(0).getInt64()) - static_cast<unsigned long long>(first);
  return static_cast<long long>(std::min<unsigned long long>(span + 1, 1ULL << 40));
}

}  // namespace

bool KeepRecordSummary(const QString& path) {
  auto db = RecordDatabase::Open(path, RecordDatabase::Access::Read);
  if (!db) return false;
  auto index = RecordIndex::Open(*db.value());
  return index && index->KeptInFile();
}

long long EstimateRecordRows(RecordDatabase& record) {
  const record_summary::Loaded loaded = record_summary::Load(record.Sql());
  if (loaded.kept == record_summary::Kept::Current) return loaded.summary.rows;
  return Estimate(record.Sql(), {});
}

RecordResult<RecordIndex> RecordIndex::Open(RecordDatabase& record, const RowProgress& progress) {
  try {
    SQLite::Database& db = record.Sql();
    record_summary::Loaded loaded = record_summary::Load(db);
    RecordIndex index;
    if (loaded.kept == record_summary::Kept::Current) {
      index.summary_ = loaded.summary;
      return index;
    }
    const bool behind = loaded.kept == record_summary::Kept::Behind;
    std::optional<Keeper> keeper =
        record.access() == RecordDatabase::Access::Read ? OpenKeeper(record.Path()) : std::nullopt;
    RecordSummary summary;
    if (behind) {
      summary = loaded.summary;
      record_summary::RestorePartials(db, summary);
    }
    auto held = std::make_shared<Held>();
    for (int level = 1; level <= kPyramidLevels; ++level) (*held)[level].first = summary.rows / PyramidBlockRows(level);
    summary.SetSink([&held](int level, long long, const PyramidBlock& b) { (*held)[level].blocks.push_back(b); });

    const long long total = Estimate(db, summary);
    long long done = 0;
    bool stopped = false;
    const long long after = summary.lastRowid;
    VisitRows(
        db,
        behind ? "SELECT merilog_visit(rowid, read_value, read_value_2ND) FROM read WHERE rowid > ?"
               : "SELECT merilog_visit(rowid, read_value, read_value_2ND) FROM read",
        [behind, after](sqlite3_stmt* q) {
          if (behind) sqlite3_bind_int64(q, 1, after);
        },
        [&](sqlite3_value** v) {
          summary.Add(sqlite3_value_int64(v[0]), record_summary::CellOf(v[1]), record_summary::CellOf(v[2]));
          if (++done % kProgressRows == 0 && progress && !progress(done, std::max(done, total))) {
            stopped = true;
            return false;
          }
          return true;
        });
    if (stopped) return RecordStatus::Failure(record_texts::ReadingStopped(record.Path()));
    if (progress) progress(done, done);
    summary.SetSink({});
    index.scanned_ = true;

    // Kept in the file when it may be written, no writer holds it, and nothing changed since the pass began.
    bool kept = false;
    if (keeper) {
      auto claim = RecordFileClaim::Take(record.Path(), RecordFileClaim::Use::Write);
      if (claim) {
        try {
          SQLite::Database& k = keeper->db->Sql();
          RecordDatabase::WriteTransaction txn(*keeper->db);
          k.execAndGet("SELECT max(rowid) FROM read");
          if (DataVersion(k) == keeper->version) {
            if (!behind) {
              record_schema::Install(k);
              k.exec("DELETE FROM read_pyramid");
            }
            summary.changeCount = record_schema::ChangeCount(k).value_or(0);
            record_summary::StoreRow(k, summary);
            record_summary::BlockWriter writer(k);
            for (int level = 1; level <= kPyramidLevels; ++level) {
              const HeldLevel& l = (*held)[level];
              for (size_t i = 0; i < l.blocks.size(); ++i)
                writer.Write(level, l.first + static_cast<long long>(i), l.blocks[i]);
            }
            txn.Commit();
            kept = true;
          }
        } catch (const SQLite::Exception&) {
          // Keeping is a saving for the next opening, never a reason to fail this one.
        }
      }
    }
    index.summary_ = std::move(summary);
    if (!kept) index.held_ = std::move(held);
    return index;
  } catch (const SQLite::Exception& e) {
    return RecordStatus::Failure(record.Explain(e));
  }
}

RecordResult<RecordFigures> RecordIndex::Figures(RecordDatabase& record) const {
  if (summary_.bySql) {
    auto f = ReadRecordFiguresBySql(record);
    if (f) f->second = summary_.second.Figures();
    return f;
  }
  RecordFigures f;
  f.value = summary_.value.Figures();
  f.value2nd = summary_.value2nd.Figures();
  f.second = summary_.second.Figures();
  f.fromSummary = true;
  return f;
}

bool RecordIndex::Blocks(RecordDatabase& record, int level, long long first, long long last,
                         std::vector<PyramidBlock>& out) const {
  if (level < 1 || level > kPyramidLevels || first < 0 || last >= FullBlocks(level)) return false;
  if (first > last) return true;
  const long long fromFile = held_ ? std::min(last, (*held_)[level].first - 1) : last;
  if (first <= fromFile && !record_summary::ReadBlocks(record.Sql(), level, first, fromFile, out)) return false;
  if (!held_ || last < (*held_)[level].first) return true;
  const HeldLevel& l = (*held_)[level];
  const long long from = std::max(first, l.first);
  if (last - l.first >= static_cast<long long>(l.blocks.size())) return false;
  out.insert(out.end(), l.blocks.begin() + (from - l.first), l.blocks.begin() + (last - l.first + 1));
  return true;
}

std::optional<long long> RecordIndex::RowidAt(RecordDatabase& record, long long position) const {
  if (position < 0 || position >= summary_.rows) return std::nullopt;
  // Within first..last, so the sum cannot overflow.
  if (summary_.Contiguous()) return summary_.firstRowid + position;
  // From the first row of the position's block of 64 (or of the last full one), a short walk.
  const long long full = FullBlocks(1);
  long long anchor = summary_.firstRowid;
  long long offset = position;
  if (full > 0) {
    const long long block = std::min(position / kPyramidFanout, full - 1);
    std::vector<PyramidBlock> b;
    if (!Blocks(record, 1, block, block, b))
      throw SQLite::Exception("the record's pyramid has lost blocks", SQLITE_CORRUPT);
    anchor = b.front().firstRowid;
    offset = position - block * kPyramidFanout;
  }
  if (offset == 0) return anchor;
  SQLite::Statement q(record.Sql(), "SELECT rowid FROM read WHERE rowid >= ? ORDER BY rowid LIMIT 1 OFFSET ?");
  q.bind(1, static_cast<int64_t>(anchor));
  q.bind(2, static_cast<int64_t>(offset));
  if (!q.executeStep()) return std::nullopt;
  return q.getColumn(0).getInt64();
}

}  // namespace merilog
