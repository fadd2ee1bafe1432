#pragma once
#include <QDateTime>
#include <QString>
#include <QTime>
#include <array>

namespace merilog {

// What the meter returns for an overload; stored as received.
constexpr double kOverloadValue = 9.9E+37;
// Stored in read_value_2ND when the reading had no second value.
constexpr double kNoSecondValue = 9.9E+21;

// The stored short form of a function name the meter reports: "VOLT" -> "DCV",
// "CURR" -> "DCI", "VOLT:AC" -> "ACV", "CURR:AC" -> "ACI", "RES" -> "2W",
// "FRES" -> "4W"; anything else unchanged (so an abbreviation stays as it is).
QString AbbreviateFunction(const QString& function);

// read_time of a row: "%02d:%02d:%02d:%03d" (14:03:27:045).
using ReadTimeText = std::array<char, 16>;  // NUL-terminated, 12 characters used
ReadTimeText FormatReadTime(const QTime& t);
QString ReadTimeString(const QTime& t);

// r_date as stored: ISO 8601 text "YYYY-MM-DD HH:MM:SS".
QString StoredRecordDate(const QDateTime& t);
// Reads r_date back; accepts the stored form, a "T" separator and fractions of
// a second. Invalid when the text is none of these.
QDateTime ParseRecordDate(const QString& text);
// The date part of a label: "%y / %m / %d -- %H : %M : %S".
QString RecordDateText(const QDateTime& t);

// The four label forms (twelve blanks between number and parenthesis).
QString RecordLabel(int number);                       // "Record %d"
QString RecordLabel(int number, const QString& date);  // "Record %d            ( %s )"
QString RecordLabel(int number, const QString& date, const QString& function1,
                    const QString& function2);                                      // "... ( %s )  - %s %s"
QString RecordLabelWithNote(int number, const QString& date, const QString& note);  // "... ( %s )  %s "

// The number in a label: the characters at (1-based) positions 8 and 9 read
// the way atoi reads them; 0 when they start with no digit.
int RecordNumberFromLabel(const QString& label);

// Adds "Record %d" to the comma-joined continuation list unless it is there.
void AddToContinuationList(QString& list, const QString& label);

}  // namespace merilog
