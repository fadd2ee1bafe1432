#pragma once
#include <QString>
#include <vector>

namespace merilog {

class PgConnection;

// The lab server's tables, in the schema "merilog" of the database the
// connection names. Made on first use and brought up to date by migrations run
// in order, each once; merilog.schema_version holds one row per migration run.
//
// merilog.record: one row per record of a bench.
//   bench, record_id          the key: the bench's name and the record's identity (a UUID)
//   record_number, file_kind  its number and kind ("Record" or "DBfile") on the bench, last seen
//   r_date, r_function1, r_function2   read_date and read_function as last forwarded
//   row_count, last_row_id    the readings on the server, and the greatest row id among them:
//                             every reading of the record up to it is here
//   first_forwarded, last_forwarded
// merilog.reading: one row per reading, keyed by bench, record_id and row_id
//   (the reading's row id in the bench's record file); read_value,
//   read_value_2nd and read_time as the record file holds them.
// Views for the common questions (docs/lab-server.md): merilog.latest_reading,
// merilog.record_readings, merilog.record_figures.
namespace lab_schema {

// The migrations, in order; the server's version is how many have run.
const std::vector<const char*>& Migrations();
int KnownVersion();

// Makes or updates the schema (under an advisory lock, so that benches
// starting together run each migration once). False with the connection's
// failure, or with `newer` set when the server's schema is newer than this
// program knows.
bool Ensure(PgConnection& connection, bool* newer, int* serverVersion);

}  // namespace lab_schema
}  // namespace merilog
