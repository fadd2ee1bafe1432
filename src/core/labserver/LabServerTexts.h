#pragma once
#include <QString>

namespace merilog::lab_texts {

// Every text of the lab server, in English: our addition has no message keys yet.

QString Caption();  // "Error"
QString BadSetting(const QString& why);
QString Unreachable(const QString& server, const QString& why);
QString Refused(const QString& server, const QString& why);
QString SchemaNewer(const QString& server, int serverVersion, int known);
QString Failed(const QString& server, const QString& why);
// Said once with a refusal: logging goes on.
QString KeptOnBench();
// A record that cannot be forwarded now: "Record 3 cannot be forwarded: <why>".
QString RecordConflict(const QString& name, const QString& why);

// The main window's status line.
QString StatusUpToDate(const QString& server);
QString StatusWaiting(long long readings, int records);
QString StatusSending(long long readings, int records);

}  // namespace merilog::lab_texts
