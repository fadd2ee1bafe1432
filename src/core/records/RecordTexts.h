#pragma once
#include <QString>

namespace merilog {

// Every text the record store shows or returns, in one place so that a later
// move into the message table touches only RecordTexts.cpp. The fixed texts
// are shown in English whatever the language; the file-problem texts are ours
// and have no message key yet.
namespace record_texts {

// Fixed English (never looked up).
QString FolderNotFound();  // "Database working folder not found."

// Captions of the folder-not-found box, one per caller.
QString CaptionSessionCheck();      // record check and preparation at session start
QString CaptionListCheck();         // Reading Settings list and record chart list
QString CaptionChartDraw();         // record chart drawing
QString CaptionViewer();            // record viewer list
QString CaptionMultipleReadings();  // multiple readings list

// Verdicts on a record before writing into it (fixed English).
QString FunctionChanged(const QString& stored, const QString& current);
QString SecondFunctionChanged(const QString& stored, const QString& current);
QString BothFunctionsChanged(const QString& stored, const QString& current, const QString& stored2nd,
                             const QString& current2nd);
QString RecordHasReadings();  // "The record already has readings. Please select a different record."
QString ContinuationQuestion(const QString& continuationList);

// Caption for a record file problem shown by a caller.
QString ErrorCaption();  // "Error"

// Texts that name a file and say what went wrong with it. %1 is the file.
QString OlderFormat(const QString& file);
QString NotADatabase(const QString& file);
QString MissingTables(const QString& file, const QString& what);
QString InUse(const QString& file);
QString BeingWritten(const QString& file);
QString NotAFile(const QString& file, bool isFolder);
QString ReadOnlyFile(const QString& file);
QString CannotCreate(const QString& file, const QString& why);
QString DiskFull(const QString& file);
QString WriteRefused(const QString& file);
QString Damaged(const QString& file, const QString& detail);
QString NotFound(const QString& file);
QString OtherError(const QString& file, const QString& detail);
QString CannotDelete(const QString& file);

// Added to a write failure when readings are still held in memory.
QString ReadingsNotSaved(qint64 count);
// Added to the failure of the last commit: those readings are lost.
QString ReadingsLost(qint64 count);
// A reading offered after the record was closed.
QString RecordClosed(const QString& file);
// A reading that was refused because too many are already waiting for the disk.
QString ReadingRefused(const QString& file);
// A pass over a record's rows stopped on request (the one who asked shows nothing).
QString ReadingStopped(const QString& file);

}  // namespace record_texts
}  // namespace merilog
