#include "core/records/RecordPass.h"

#include <SQLiteCpp/SQLiteCpp.h>
#include <sqlite3.h>

namespace merilog {

namespace {

constexpr const char* kVisitFunction = "merilog_visit";

struct Visit {
  const RowVisit* visit;
  sqlite3* db;
  bool stopped = false;
};

void VisitStep(sqlite3_context* context, int, sqlite3_value** values) {
  auto* v = static_cast<Visit*>(sqlite3_user_data(context));
  if (v->stopped) return;
  if (!(*v->visit)(values)) {
    v->stopped = true;
    sqlite3_interrupt(v->db);
  }
}

void VisitFinal(sqlite3_context* context) {
  sqlite3_result_null(context);
}

}  // namespace

void VisitRows(SQLite::Database& database, const char* sql, const std::function<void(sqlite3_stmt*)>& bind,
               const RowVisit& visit) {
  sqlite3* db = database.getHandle();
  Visit state{&visit, db};
  sqlite3_stmt* stmt = nullptr;
  // Removes the function again, whichever way the pass ends.
  struct Finish {
    sqlite3* db;
    sqlite3_stmt*& stmt;
    ~Finish() {
      sqlite3_finalize(stmt);
      sqlite3_create_function_v2(db, kVisitFunction, -1, SQLITE_UTF8, nullptr, nullptr, nullptr, nullptr, nullptr);
    }
  } finish{db, stmt};
  if (sqlite3_create_function_v2(db, kVisitFunction, -1, SQLITE_UTF8, &state, nullptr, VisitStep, VisitFinal,
                                 nullptr) != SQLITE_OK)
    throw SQLite::Exception(db);
  if (sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr) != SQLITE_OK) throw SQLite::Exception(db);
  if (bind) bind(stmt);
  int rc;
  while ((rc = sqlite3_step(stmt)) == SQLITE_ROW) {
  }
  if (rc != SQLITE_DONE && !(rc == SQLITE_INTERRUPT && state.stopped)) throw SQLite::Exception(db, rc);
}

}  // namespace merilog
