#pragma once
#include <QString>
#include <optional>

namespace merilog {

// Where a bench forwards its records, and under which name.
//
// The language file's [Server] section holds them:
//   Connection=postgresql://logger@labdb/merilog   (any libpq connection string)
//   Bench=bench-07                                  (the host name when missing)
// The command line's --server, then the environment's MERILOG_SERVER, override
// Connection. An empty connection means no server. Passwords belong in
// ~/.pgpass or libpq's environment, never in these files.
struct LabServerSettings {
  QString connection;
  QString bench;
  bool Enabled() const { return !connection.trimmed().isEmpty(); }
};

// From the language file at iniPath, the command line's --server value (when
// given) and the environment's MERILOG_SERVER (when set).
LabServerSettings ResolveLabServerSettings(const QString& iniPath, const std::optional<QString>& commandLine,
                                           const std::optional<QString>& environment);
// The same with the program's own language file and environment.
LabServerSettings LabServerSettingsFor(const std::optional<QString>& commandLine);

// The server as messages name it: host (or socket folder), port and database,
// never the password.
QString DescribeServer(const QString& connection);

}  // namespace merilog
