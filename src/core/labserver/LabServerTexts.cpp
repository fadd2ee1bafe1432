#include "core/labserver/LabServerTexts.h"

namespace merilog::lab_texts {

QString Caption() {
  return QStringLiteral("Error");
}

QString BadSetting(const QString& why) {
  return QStringLiteral("The lab server setting cannot be used: %1").arg(why);
}

QString Unreachable(const QString& server, const QString& why) {
  return QStringLiteral("The lab server %1 cannot be reached: %2").arg(server, why);
}

QString Refused(const QString& server, const QString& why) {
  return QStringLiteral("The lab server %1 refused this bench: %2").arg(server, why);
}

QString SchemaNewer(const QString& server, int serverVersion, int known) {
  return QStringLiteral(
             "The lab server %1 keeps its tables in version %2, newer than this program knows (%3); "
             "update the program to forward to it.")
      .arg(server)
      .arg(serverVersion)
      .arg(known);
}

QString Failed(const QString& server, const QString& why) {
  return QStringLiteral("The lab server %1 refused the readings: %2").arg(server, why);
}

QString KeptOnBench() {
  return QStringLiteral("Every reading is still stored on this bench and is forwarded once the server takes it.");
}

QString RecordConflict(const QString& name, const QString& why) {
  return QStringLiteral("%1 cannot be forwarded: %2").arg(name, why);
}

QString StatusUpToDate(const QString& server) {
  return QStringLiteral("Lab server %1: every reading forwarded").arg(server);
}

QString StatusWaiting(long long readings, int records) {
  return QStringLiteral("Lab server: %1 readings of %2 records waiting").arg(readings).arg(records);
}

QString StatusSending(long long readings, int records) {
  return QStringLiteral("Lab server: sending %1 readings of %2 records").arg(readings).arg(records);
}

}  // namespace merilog::lab_texts
