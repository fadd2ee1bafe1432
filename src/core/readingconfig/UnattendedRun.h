#pragma once
#include <QDateTime>
#include <QString>
#include <optional>

#include "core/measure/ReadingLimits.h"

namespace merilog {

struct ReadingPlan;

// How an unattended run ends and which readings it warns about: the choices of
// the Stop and Limits dialog and of merilog-cli log's --for, --until, --high
// and --low. Kept in memory for the program's run, like the reading settings.
struct UnattendedRun {
  enum class Stop { WhenTold, After, At };
  Stop stop = Stop::WhenTold;
  qint64 afterMs = 0;  // Stop::After: this long after the readings begin
  QDateTime at;        // Stop::At: local date and time
  PositionLimits limits;

  void ApplyTo(ReadingPlan& plan) const;
};

// What the Stop and Limits dialog's fields hold, as typed.
struct UnattendedRunForm {
  UnattendedRun::Stop stop = UnattendedRun::Stop::WhenTold;
  QString afterText;  // "30m"
  QDateTime at;
  std::array<QString, kMeterPositions> high, low;

  static UnattendedRunForm From(const UnattendedRun& run);
  // The settings the fields stand for, checked against `now` (a stop time must
  // lie ahead); nothing, with the message to show, when a field is wrong.
  std::optional<UnattendedRun> Read(const QDateTime& now, QString* error) const;
};

// The length of a run: a whole number followed by d, h, m, s or ms, several in
// a row ("1h30m"), or a bare number of seconds. Nothing when the text is none
// of these, is zero, or passes a year; *error then says why.
std::optional<qint64> ParseRunDuration(const QString& text, QString* error);
// "1h30m", "45s", "2d": the shortest text ParseRunDuration reads back.
QString RunDurationText(qint64 ms);
// "yyyy/MM/dd HH:mm:ss", local time. Nothing for another form or a time that
// does not exist; *error says why.
std::optional<QDateTime> ParseStopTime(const QString& text, QString* error);
inline constexpr char kStopTimeFormat[] = "yyyy/MM/dd HH:mm:ss";
// A limit field: empty is no limit; otherwise a finite number. False with a message for anything else.
bool ParseLimit(const QString& text, std::optional<double>* limit, QString* error);
// Low above high can never be met: the message saying so, or empty.
QString CheckLimits(const ReadingLimits& limits);

}  // namespace merilog
