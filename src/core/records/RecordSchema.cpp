#include "core/records/RecordSchema.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

#include <map>
#include <string>

namespace merilog::record_schema {

namespace {

constexpr char kSummaryTable[] =
    "CREATE TABLE read_summary (id INTEGER PRIMARY KEY AUTOINCREMENT, layout INTEGER, change_count INTEGER, "
    "row_count INTEGER, first_rowid INTEGER, last_rowid INTEGER, by_sql INTEGER, "
    "value_count INTEGER, value_sum DOUBLE, value_max DOUBLE, value_min DOUBLE, "
    "value2_count INTEGER, value2_sum DOUBLE, value2_max DOUBLE, value2_min DOUBLE, "
    "second_count INTEGER, second_sum DOUBLE, second_max DOUBLE, second_min DOUBLE)";

constexpr char kPyramidTable[] =
    "CREATE TABLE read_pyramid (level INTEGER, block INTEGER, first_rowid INTEGER, "
    "value_missing INTEGER, value_overloads INTEGER, value_low DOUBLE, value_high DOUBLE, "
    "second_missing INTEGER, second_overloads INTEGER, second_low DOUBLE, second_high DOUBLE, "
    "PRIMARY KEY (level, block)) WITHOUT ROWID";

#define MERILOG_BUMP " BEGIN UPDATE sqlite_sequence SET seq = seq + 1 WHERE name = 'read_change_count'; END"

struct SchemaObject {
  const char* type;
  const char* name;
  const char* sql;
};

constexpr SchemaObject kObjects[] = {
    {"table", "read_summary", kSummaryTable},
    {"table", "read_pyramid", kPyramidTable},
    // A row id given at or below the last (a replaced row, a row put into a gap). A row id the
    // engine chooses (-1 before the insert) is the last plus one; when it could be anything else
    // (a row id at the greatest, or below zero), the summary is not kept (RecordSummaryStore).
    // Asked before the insert only, so that a plain append costs another program little.
    {"trigger", "read_change_insert",
     "CREATE TRIGGER read_change_insert BEFORE INSERT ON read "
     "WHEN new.rowid <> -1 AND new.rowid <= (SELECT max(rowid) FROM read)" MERILOG_BUMP},
    {"trigger", "read_change_update", "CREATE TRIGGER read_change_update AFTER UPDATE ON read" MERILOG_BUMP},
    {"trigger", "read_change_delete", "CREATE TRIGGER read_change_delete AFTER DELETE ON read" MERILOG_BUMP},
    {"trigger", "read_summary_change_insert",
     "CREATE TRIGGER read_summary_change_insert AFTER INSERT ON read_summary" MERILOG_BUMP},
    {"trigger", "read_summary_change_update",
     "CREATE TRIGGER read_summary_change_update AFTER UPDATE ON read_summary" MERILOG_BUMP},
    {"trigger", "read_summary_change_delete",
     "CREATE TRIGGER read_summary_change_delete AFTER DELETE ON read_summary" MERILOG_BUMP},
    {"trigger", "read_pyramid_change_insert",
     "CREATE TRIGGER read_pyramid_change_insert AFTER INSERT ON read_pyramid" MERILOG_BUMP},
    {"trigger", "read_pyramid_change_update",
     "CREATE TRIGGER read_pyramid_change_update AFTER UPDATE ON read_pyramid" MERILOG_BUMP},
    {"trigger", "read_pyramid_change_delete",
     "CREATE TRIGGER read_pyramid_change_delete AFTER DELETE ON read_pyramid" MERILOG_BUMP},
};

#undef MERILOG_BUMP

// name -> (type, sql) of our objects present in the file.
std::map<std::string, std::pair<std::string, std::string>> Present(SQLite::Database& db) {
  std::string names;
  for (const SchemaObject& o : kObjects) names += std::string(names.empty() ? "'" : ",'") + o.name + "'";
  SQLite::Statement q(db, "SELECT name, type, sql FROM sqlite_master WHERE name IN (" + names + ")");
  std::map<std::string, std::pair<std::string, std::string>> present;
  while (q.executeStep())
    present[q.getColumn(0).getString()] = {q.getColumn(1).getString(), q.getColumn(2).getString()};
  return present;
}

bool AsMade(const std::map<std::string, std::pair<std::string, std::string>>& present, const SchemaObject& o) {
  const auto it = present.find(o.name);
  return it != present.end() && it->second.first == o.type && it->second.second == o.sql;
}

}  // namespace

void Install(SQLite::Database& db) {
  // Tables first, then the triggers: dropping a table of an older layout takes its triggers along.
  for (const bool tables : {true, false}) {
    const auto present = Present(db);
    for (const SchemaObject& o : kObjects) {
      if ((std::string(o.type) == "table") != tables || AsMade(present, o)) continue;
      // A view or index under one of our names is not ours to remove: the CREATE below then fails.
      if (present.count(o.name) && present.at(o.name).first == o.type)
        db.exec(std::string(tables ? "DROP TABLE " : "DROP TRIGGER ") + o.name);
      db.exec(o.sql);
    }
  }
  db.exec(
      "INSERT INTO sqlite_sequence (name, seq) SELECT 'read_change_count', 0 "
      "WHERE NOT EXISTS (SELECT 1 FROM sqlite_sequence WHERE name = 'read_change_count')");
}

std::optional<long long> ChangeCount(SQLite::Database& db) {
  if (!db.tableExists("sqlite_sequence")) return std::nullopt;
  SQLite::Statement q(db, "SELECT seq FROM sqlite_sequence WHERE name = 'read_change_count'");
  if (!q.executeStep() || q.getColumn(0).getType() != SQLITE_INTEGER) return std::nullopt;
  return q.getColumn(0).getInt64();
}

bool Intact(SQLite::Database& db) {
  const auto present = Present(db);
  for (const SchemaObject& o : kObjects)
    if (!AsMade(present, o)) return false;
  return true;
}

void DisableTriggers(SQLite::Database& db) {
  sqlite3_db_config(db.getHandle(), SQLITE_DBCONFIG_ENABLE_TRIGGER, 0, nullptr);
}

}  // namespace merilog::record_schema
