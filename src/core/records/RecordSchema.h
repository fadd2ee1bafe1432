#pragma once
#include <optional>

namespace SQLite {
class Database;
}

namespace merilog::record_schema {

// The tables this program keeps in a record file beside the record's own
// (read, read_date, read_function), so that a record of any size opens at
// once. Other programs may read and write the record without knowing them;
// what they change is noticed, and the kept tables are then made anew from
// read by one pass. Other tables in the file are left alone.
//
// read_summary: one row, what is known of the rows of read without reading them.
//   id             INTEGER PRIMARY KEY AUTOINCREMENT; AUTOINCREMENT only so that
//                  the engine keeps its table sqlite_sequence, which holds the
//                  change counter (below)
//   layout         INTEGER  the layout of these tables, 1
//   change_count   INTEGER  the change counter when this row was made right
//   row_count      INTEGER  rows of read up to last_rowid
//   first_rowid, last_rowid  INTEGER  the least and the greatest row id then (0 when empty)
//   by_sql         INTEGER  1 when read holds texts or blobs among its values: the
//                  figures then come from the SQL aggregates, whose order of types
//                  the kept ones do not follow
//   value_count, value_sum, value_max, value_min
//                  read_value as count(), total(), max() and min() give them
//                  (total() adds in row order, as avg() does: avg = sum / count)
//   value2_count, value2_sum, value2_max, value2_min
//                  read_value_2ND likewise (the no-second-value marker 9.9E+21 counts)
//   second_count, second_sum, second_max, second_min
//                  read_value_2ND without the marker: the viewer's 2ND figures
//
// read_pyramid: the min/max pyramid of both columns, for the record chart.
//   Level k (1 to 5) cuts the rows, in table order, into blocks of 64^k rows;
//   block b holds the rows at positions b * 64^k to (b + 1) * 64^k - 1. Only
//   full blocks are kept; rows after the last full block are read as they are.
//   level, block     INTEGER  the key (WITHOUT ROWID)
//   first_rowid      INTEGER  the row id of the block's first row
//   value_missing    INTEGER  rows whose read_value is NULL
//   value_overloads  INTEGER  rows whose read_value is the overload 9.9E+37
//   value_low, value_high    DOUBLE  the least and greatest other read_value (NULL when none)
//   second_missing, second_overloads, second_low, second_high
//                    read_value_2ND likewise, the marker 9.9E+21 counted as missing
//
// The change counter: the row named "read_change_count" of sqlite_sequence.
// Triggers stored in the file (named read_change_*, read_summary_change_* and
// read_pyramid_change_*) add one to it whenever any program changes read other
// than by appending rows after the last, or touches read_summary or
// read_pyramid. They name no table of ours in their bodies, so dropping our
// tables never breaks another program's writes; another program's plain
// append pays one comparison a row. This program's own writers turn triggers
// off on their connection and keep both tables in the same transaction as the
// rows. The kept tables hold when read_summary's change_count equals the
// counter, every trigger is in place as made, and its row ids and counts agree
// with read; when only rows were appended after last_rowid, the rest is read
// and added. A record with a row id below zero or at the greatest keeps them
// too, but they are never taken as they stand (a new row may land in a gap).

constexpr int kLayout = 1;

// Makes our tables, the change counter and the triggers where they are
// missing; tables of an older layout are dropped first. Call inside a write
// transaction.
void Install(SQLite::Database& db);

// The change counter; nothing when it is missing.
std::optional<long long> ChangeCount(SQLite::Database& db);

// read_summary and read_pyramid exist in this layout and every trigger is in
// place as this program makes it.
bool Intact(SQLite::Database& db);

// Triggers do not fire on this connection: for our own writers, which keep
// the summary themselves.
void DisableTriggers(SQLite::Database& db);

}  // namespace merilog::record_schema
