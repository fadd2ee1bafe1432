#include "core/readingconfig/UnattendedRun.h"

#include <cmath>

#include "core/measure/ReadingRun.h"

namespace merilog {

namespace {

constexpr qint64 kYearMs = 366LL * 24 * 3600 * 1000;

struct Unit {
  const char* name;
  qint64 ms;
};
// Longest names first, so "ms" is not read as "m" and "s".
constexpr Unit kUnits[] = {{"ms", 1}, {"d", 86400000}, {"h", 3600000}, {"m", 60000}, {"s", 1000}};

}  // namespace

void UnattendedRun::ApplyTo(ReadingPlan& plan) const {
  plan.runForMs = stop == Stop::After ? afterMs : 0;
  plan.stopAt = stop == Stop::At ? at : QDateTime();
  plan.limits = limits;
}

UnattendedRunForm UnattendedRunForm::From(const UnattendedRun& run) {
  UnattendedRunForm f;
  f.stop = run.stop;
  f.afterText = run.afterMs > 0 ? RunDurationText(run.afterMs) : QString();
  f.at = run.at;
  for (int d = 0; d < kMeterPositions; ++d) {
    if (run.limits[d].high) f.high[d] = QString::number(*run.limits[d].high, 'g', 12);
    if (run.limits[d].low) f.low[d] = QString::number(*run.limits[d].low, 'g', 12);
  }
  return f;
}

std::optional<UnattendedRun> UnattendedRunForm::Read(const QDateTime& now, QString* error) const {
  UnattendedRun run;
  run.stop = stop;
  if (stop == UnattendedRun::Stop::After) {
    const auto ms = ParseRunDuration(afterText, error);
    if (!ms) return std::nullopt;
    run.afterMs = *ms;
  }
  if (stop == UnattendedRun::Stop::At) {
    if (!at.isValid() || at <= now) {
      if (error)
        *error =
            QStringLiteral("The stop time %1 has passed already.").arg(at.toString(QLatin1String(kStopTimeFormat)));
      return std::nullopt;
    }
    run.at = at;
  }
  for (int d = 0; d < kMeterPositions; ++d) {
    if (!ParseLimit(high[d], &run.limits[d].high, error) || !ParseLimit(low[d], &run.limits[d].low, error))
      return std::nullopt;
    if (const QString wrong = CheckLimits(run.limits[d]); !wrong.isEmpty()) {
      if (error) *error = QStringLiteral("Meter %1: %2").arg(d + 1).arg(wrong);
      return std::nullopt;
    }
  }
  return run;
}

std::optional<qint64> ParseRunDuration(const QString& text, QString* error) {
  const QString t = text.trimmed().toLower();
  const auto fail = [&](const QString& why) -> std::optional<qint64> {
    if (error) *error = why;
    return std::nullopt;
  };
  if (t.isEmpty()) return fail(QStringLiteral("a duration is needed, as in 30m, 2h or 1h30m"));
  const QString notDuration =
      QStringLiteral("\"%1\" is no duration (use d, h, m, s or ms after whole numbers, as in 1h30m)").arg(text);
  qint64 total = 0;
  int i = 0;
  while (i < t.size()) {
    qint64 n = 0;
    const int first = i;
    // At most ten digits each: even ten digits of days stay far inside 64 bits.
    while (i < t.size() && t[i].isDigit() && i - first < 10) n = n * 10 + t[i++].digitValue();
    if (i == first || (i < t.size() && t[i].isDigit())) return fail(notDuration);
    qint64 unit = 0;
    if (i == t.size() && first == 0) {
      unit = 1000;  // a bare number counts seconds
    } else {
      for (const Unit& u : kUnits) {
        if (t.mid(i).startsWith(QLatin1String(u.name))) {
          unit = u.ms;
          i += static_cast<int>(qstrlen(u.name));
          break;
        }
      }
    }
    if (unit == 0) return fail(notDuration);
    total += n * unit;
    if (total > kYearMs) return fail(QStringLiteral("a run of more than a year (%1) is not planned here").arg(text));
  }
  if (total <= 0) return fail(QStringLiteral("a run of no time (%1) would stop at once").arg(text));
  return total;
}

QString RunDurationText(qint64 ms) {
  QString out;
  for (const Unit& u : {kUnits[1], kUnits[2], kUnits[3], kUnits[4], kUnits[0]}) {
    if (ms >= u.ms) {
      out += QString::number(ms / u.ms) + QLatin1String(u.name);
      ms %= u.ms;
    }
  }
  return out.isEmpty() ? QStringLiteral("0s") : out;
}

std::optional<QDateTime> ParseStopTime(const QString& text, QString* error) {
  const QDateTime t = QDateTime::fromString(text.trimmed(), QLatin1String(kStopTimeFormat));
  if (!t.isValid()) {
    if (error)
      *error =
          QStringLiteral("\"%1\" is no stop time; write it as yyyy/MM/dd HH:mm:ss, e.g. 2024/05/06 18:00:00").arg(text);
    return std::nullopt;
  }
  return t;
}

bool ParseLimit(const QString& text, std::optional<double>* limit, QString* error) {
  const QString t = text.trimmed();
  if (t.isEmpty()) {
    limit->reset();
    return true;
  }
  bool ok = false;
  const double v = t.toDouble(&ok);
  if (!ok || !std::isfinite(v)) {
    if (error) *error = QStringLiteral("\"%1\" is no limit; give a number, or nothing for none").arg(text);
    return false;
  }
  *limit = v;
  return true;
}

QString CheckLimits(const ReadingLimits& limits) {
  if (limits.high && limits.low && *limits.low > *limits.high)
    return QStringLiteral("The low limit %1 is above the high limit %2.").arg(*limits.low).arg(*limits.high);
  return {};
}

}  // namespace merilog
