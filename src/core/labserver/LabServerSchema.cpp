#include "core/labserver/LabServerSchema.h"

#include "core/labserver/PgConnection.h"

namespace merilog::lab_schema {

namespace {

// Any number of our own; benches making the schema at once take turns on it.
constexpr char kLock[] = "SELECT pg_advisory_xact_lock(7202506251)";

constexpr char kVersion1[] = R"sql(
CREATE TABLE merilog.record (
  bench            text        NOT NULL,
  record_id        uuid        NOT NULL,
  record_number    integer,
  file_kind        text,
  r_date           timestamp,
  r_function1      text,
  r_function2      text,
  row_count        bigint      NOT NULL DEFAULT 0,
  last_row_id      bigint      NOT NULL DEFAULT 0,
  first_forwarded  timestamptz NOT NULL DEFAULT now(),
  last_forwarded   timestamptz NOT NULL DEFAULT now(),
  PRIMARY KEY (bench, record_id)
);
CREATE TABLE merilog.reading (
  bench            text             NOT NULL,
  record_id        uuid             NOT NULL,
  row_id           bigint           NOT NULL,
  read_value       double precision,
  read_value_2nd   double precision,
  read_time        text,
  PRIMARY KEY (bench, record_id, row_id)
);
)sql";

constexpr char kVersion2[] = R"sql(
CREATE VIEW merilog.latest_reading AS
  SELECT r.bench, r.record_id, r.record_number, r.r_function1, r.r_function2,
         g.row_id, g.read_value,
         NULLIF(g.read_value_2nd, 9.9E+21) AS read_value_2nd,
         g.read_time, r.last_forwarded
    FROM merilog.record r
    JOIN merilog.reading g
      ON g.bench = r.bench AND g.record_id = r.record_id AND g.row_id = r.last_row_id;
CREATE VIEW merilog.record_readings AS
  SELECT g.bench, g.record_id, r.record_number, g.row_id, g.read_time, g.read_value,
         NULLIF(g.read_value_2nd, 9.9E+21) AS read_value_2nd,
         g.read_value > 9.9E+25 AS overload
    FROM merilog.reading g
    JOIN merilog.record r ON r.bench = g.bench AND r.record_id = g.record_id;
CREATE VIEW merilog.record_figures AS
  SELECT r.bench, r.record_id, r.record_number, r.r_date, r.r_function1, r.r_function2,
         count(g.read_value) AS value_count,
         max(g.read_value) AS value_max, min(g.read_value) AS value_min, avg(g.read_value) AS value_avg,
         count(NULLIF(g.read_value_2nd, 9.9E+21)) AS second_count,
         max(NULLIF(g.read_value_2nd, 9.9E+21)) AS second_max,
         min(NULLIF(g.read_value_2nd, 9.9E+21)) AS second_min,
         avg(NULLIF(g.read_value_2nd, 9.9E+21)) AS second_avg
    FROM merilog.record r
    LEFT JOIN merilog.reading g ON g.bench = r.bench AND g.record_id = r.record_id
   GROUP BY r.bench, r.record_id;
)sql";

bool Run(PgConnection& c, const char* sql) {
  return c.Exec(sql).has_value();
}

std::optional<int> ServerVersion(PgConnection& c) {
  auto exists = c.Exec("SELECT to_regclass('merilog.schema_version') IS NOT NULL");
  if (!exists) return std::nullopt;
  if (exists->Text(0, 0) != "t") return 0;
  auto v = c.Exec("SELECT coalesce(max(version), 0) FROM merilog.schema_version");
  if (!v) return std::nullopt;
  return v->Text(0, 0).toInt();
}

}  // namespace

const std::vector<const char*>& Migrations() {
  static const std::vector<const char*> m = {kVersion1, kVersion2};
  return m;
}

int KnownVersion() {
  return static_cast<int>(Migrations().size());
}

bool Ensure(PgConnection& c, bool* newer, int* serverVersion) {
  *newer = false;
  // The usual case, one statement and no lock: the schema is as we know it.
  auto current = ServerVersion(c);
  if (!current) return false;
  *serverVersion = *current;
  if (*current == KnownVersion()) return true;
  if (*current > KnownVersion()) {
    *newer = true;
    return false;
  }
  if (!Run(c, "BEGIN") || !Run(c, kLock)) return false;
  auto fail = [&c] {
    c.Exec("ROLLBACK");
    return false;
  };
  if (!Run(c, "CREATE SCHEMA IF NOT EXISTS merilog") ||
      !Run(c,
           "CREATE TABLE IF NOT EXISTS merilog.schema_version ("
           "version integer PRIMARY KEY, applied timestamptz NOT NULL DEFAULT now())"))
    return fail();
  current = ServerVersion(c);  // another bench may have been first
  if (!current) return fail();
  if (*current > KnownVersion()) {
    *newer = true;
    *serverVersion = *current;
    return fail();
  }
  for (int v = *current + 1; v <= KnownVersion(); ++v) {
    if (!Run(c, Migrations()[static_cast<size_t>(v - 1)])) return fail();
    if (!c.Exec("INSERT INTO merilog.schema_version (version) VALUES ($1)", {QByteArray::number(v)})) return fail();
  }
  if (!Run(c, "COMMIT")) return false;
  *serverVersion = KnownVersion();
  return true;
}

}  // namespace merilog::lab_schema
