#include "core/records/RecordTexts.h"

#include <QDir>

namespace merilog::record_texts {

namespace {
QString Shown(const QString& file) {
  return QDir::toNativeSeparators(file);
}
}  // namespace

QString FolderNotFound() {
  return QStringLiteral("Database working folder not found.");
}

QString CaptionSessionCheck() {
  return QStringLiteral("Database folder check");
}
QString CaptionListCheck() {
  return QStringLiteral("Database check");
}
QString CaptionChartDraw() {
  return QStringLiteral("DrawRecord Database folder check");
}
QString CaptionViewer() {
  return QStringLiteral("RecordView Database folder check");
}
QString CaptionMultipleReadings() {
  return QStringLiteral("Dodu2V Database folder check");
}

QString FunctionChanged(const QString& stored, const QString& current) {
  return QStringLiteral("Function has changed from ") + stored + QStringLiteral(" to ") + current +
         QStringLiteral(". Please select a different record.");
}
QString SecondFunctionChanged(const QString& stored, const QString& current) {
  return QStringLiteral("2ND Function has changed from ") + stored + QStringLiteral(" to ") + current +
         QStringLiteral(". Please select a different record.");
}
QString BothFunctionsChanged(const QString& stored, const QString& current, const QString& stored2nd,
                             const QString& current2nd) {
  return QStringLiteral("Function has changed from ") + stored + QStringLiteral(" to ") + current +
         QStringLiteral(". 2ND Function has changed from ") + stored2nd + QStringLiteral(" to ") + current2nd +
         QStringLiteral(". Please select a different record.");
}
QString RecordHasReadings() {
  return QStringLiteral("The record already has readings. Please select a different record.");
}
QString ContinuationQuestion(const QString& continuationList) {
  return continuationList + QStringLiteral(" will continue saving the readings.  Continue?");
}

QString ErrorCaption() {
  return QStringLiteral("Error");
}

QString OlderFormat(const QString& file) {
  return QStringLiteral("The record file \"%1\" is in an older database format that this program cannot read.")
      .arg(Shown(file));
}
QString NotADatabase(const QString& file) {
  return QStringLiteral("The record file \"%1\" is not a record database; it cannot be read.").arg(Shown(file));
}
QString MissingTables(const QString& file, const QString& what) {
  return QStringLiteral("The record file \"%1\" is not a complete record: %2.").arg(Shown(file), what);
}
QString InUse(const QString& file) {
  return QStringLiteral("The record file \"%1\" is in use by another program. Try again when it has been closed.")
      .arg(Shown(file));
}
QString BeingWritten(const QString& file) {
  return QStringLiteral(
             "The record file \"%1\" is being written by another reading run or by another meter of this run. "
             "Please select a different record.")
      .arg(Shown(file));
}
QString NotAFile(const QString& file, bool isFolder) {
  return QStringLiteral("The record file \"%1\" cannot be used: it is %2, not a file.")
      .arg(Shown(file), isFolder ? QStringLiteral("a folder") : QStringLiteral("a device, pipe or socket"));
}
QString ReadOnlyFile(const QString& file) {
  return QStringLiteral("The record file \"%1\" is read-only; readings cannot be saved into it.").arg(Shown(file));
}
QString CannotCreate(const QString& file, const QString& why) {
  return QStringLiteral("The record file \"%1\" cannot be created: %2.").arg(Shown(file), why);
}
QString DiskFull(const QString& file) {
  return QStringLiteral("The record file \"%1\" cannot be written: the disk is full.").arg(Shown(file));
}
QString WriteRefused(const QString& file) {
  return QStringLiteral("The record file \"%1\" cannot be written: the disk refused the data (it may be full).")
      .arg(Shown(file));
}
QString Damaged(const QString& file, const QString& detail) {
  return QStringLiteral("The record file \"%1\" is damaged (%2).").arg(Shown(file), detail);
}
QString NotFound(const QString& file) {
  return QStringLiteral("The record file \"%1\" does not exist.").arg(Shown(file));
}
QString OtherError(const QString& file, const QString& detail) {
  return QStringLiteral("The record file \"%1\" cannot be used: %2.").arg(Shown(file), detail);
}
QString CannotDelete(const QString& file) {
  return QStringLiteral("The record file \"%1\" cannot be deleted.").arg(Shown(file));
}

QString ReadingsNotSaved(qint64 count) {
  return QStringLiteral(" %1 readings are not saved yet.").arg(count);
}
QString ReadingsLost(qint64 count) {
  return QStringLiteral(" %1 readings could not be saved.").arg(count);
}
QString RecordClosed(const QString& file) {
  return QStringLiteral("The record file \"%1\" is closed; no more readings are saved into it.").arg(Shown(file));
}
QString ReadingRefused(const QString& file) {
  return QStringLiteral("The record file \"%1\" cannot take more readings until the earlier ones are saved.")
      .arg(Shown(file));
}
QString ReadingStopped(const QString& file) {
  return QStringLiteral("The reading of the record file \"%1\" was stopped.").arg(Shown(file));
}

}  // namespace merilog::record_texts
