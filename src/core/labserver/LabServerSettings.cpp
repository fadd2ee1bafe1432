#include "core/labserver/LabServerSettings.h"

#include <libpq-fe.h>

#include <QSysInfo>
#include <QtGlobal>

#include "core/base/ConfigPaths.h"
#include "core/base/IniFile.h"

namespace merilog {

LabServerSettings ResolveLabServerSettings(const QString& iniPath, const std::optional<QString>& commandLine,
                                           const std::optional<QString>& environment) {
  const IniFile ini = IniFile::Load(iniPath);
  LabServerSettings s;
  if (commandLine)
    s.connection = *commandLine;
  else if (environment)
    s.connection = *environment;
  else if (const QString* v = ini.Find(u"Server", u"Connection"))
    s.connection = *v;
  s.connection = s.connection.trimmed();
  if (const QString* v = ini.Find(u"Server", u"Bench")) s.bench = v->trimmed();
  if (s.bench.isEmpty()) s.bench = QSysInfo::machineHostName();
  if (s.bench.isEmpty()) s.bench = QStringLiteral("bench");
  return s;
}

LabServerSettings LabServerSettingsFor(const std::optional<QString>& commandLine) {
  std::optional<QString> environment;
  if (qEnvironmentVariableIsSet("MERILOG_SERVER")) environment = qEnvironmentVariable("MERILOG_SERVER");
  return ResolveLabServerSettings(ConfigurationFilePath(), commandLine, environment);
}

QString DescribeServer(const QString& connection) {
  char* error = nullptr;
  PQconninfoOption* options = PQconninfoParse(connection.toUtf8().constData(), &error);
  if (error) PQfreemem(error);
  if (!options) return QStringLiteral("the lab server");
  QString host, port, dbname;
  for (PQconninfoOption* o = options; o->keyword; ++o) {
    if (!o->val) continue;
    const QString value = QString::fromUtf8(o->val);
    if (qstrcmp(o->keyword, "host") == 0) host = value;
    if (qstrcmp(o->keyword, "hostaddr") == 0 && host.isEmpty()) host = value;
    if (qstrcmp(o->keyword, "port") == 0) port = value;
    if (qstrcmp(o->keyword, "dbname") == 0) dbname = value;
  }
  PQconninfoFree(options);
  QString where = host.isEmpty() ? QStringLiteral("the local server") : host;
  if (!port.isEmpty()) where += QLatin1Char(':') + port;
  if (!dbname.isEmpty()) where += QLatin1Char('/') + dbname;
  return where;
}

}  // namespace merilog
