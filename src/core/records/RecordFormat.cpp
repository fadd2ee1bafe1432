#include "core/records/RecordFormat.h"

#include <QStringList>
#include <cstdio>

namespace merilog {

namespace {

struct Abbreviation {
  const char* function;
  const char* shortForm;
};
constexpr Abbreviation kAbbreviations[] = {
    {"VOLT", "DCV"}, {"CURR", "DCI"}, {"VOLT:AC", "ACV"}, {"CURR:AC", "ACI"}, {"RES", "2W"}, {"FRES", "4W"},
};

const QString kLabelGap = QStringLiteral("            ");  // twelve blanks

}  // namespace

QString AbbreviateFunction(const QString& function) {
  for (const auto& a : kAbbreviations)
    if (function == QLatin1String(a.function)) return QString::fromLatin1(a.shortForm);
  return function;
}

ReadTimeText FormatReadTime(const QTime& t) {
  ReadTimeText out{};
  std::snprintf(out.data(), out.size(), "%02d:%02d:%02d:%03d", t.hour(), t.minute(), t.second(), t.msec());
  return out;
}

QString ReadTimeString(const QTime& t) {
  return QString::fromLatin1(FormatReadTime(t).data());
}

QString StoredRecordDate(const QDateTime& t) {
  return t.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QDateTime ParseRecordDate(const QString& text) {
  const QString s = text.trimmed();
  for (const char* fmt : {"yyyy-MM-dd HH:mm:ss", "yyyy-MM-ddTHH:mm:ss", "yyyy-MM-dd HH:mm:ss.zzz",
                          "yyyy-MM-ddTHH:mm:ss.zzz", "yyyy-MM-dd HH:mm", "yyyy-MM-dd"}) {
    QDateTime t = QDateTime::fromString(s, QLatin1String(fmt));
    if (t.isValid()) return t;
  }
  return {};
}

QString RecordDateText(const QDateTime& t) {
  return t.toString(QStringLiteral("yy / MM / dd -- HH : mm : ss"));
}

QString RecordLabel(int number) {
  return QStringLiteral("Record %1").arg(number);
}

QString RecordLabel(int number, const QString& date) {
  return RecordLabel(number) + kLabelGap + QStringLiteral("( ") + date + QStringLiteral(" )");
}

QString RecordLabel(int number, const QString& date, const QString& function1, const QString& function2) {
  return RecordLabel(number, date) + QStringLiteral("  - ") + function1 + QLatin1Char(' ') + function2;
}

QString RecordLabelWithNote(int number, const QString& date, const QString& note) {
  return RecordLabel(number, date) + QStringLiteral("  ") + note + QLatin1Char(' ');
}

int RecordNumberFromLabel(const QString& label) {
  // atoi on the two characters: leading blanks, an optional sign, then digits.
  const QString two = label.mid(7, 2);
  qsizetype i = 0;
  while (i < two.size() && two[i].isSpace()) ++i;
  bool negative = false;
  if (i < two.size() && (two[i] == QLatin1Char('-') || two[i] == QLatin1Char('+')))
    negative = two[i++] == QLatin1Char('-');
  int n = 0;
  for (; i < two.size() && two[i] >= QLatin1Char('0') && two[i] <= QLatin1Char('9'); ++i)
    n = n * 10 + (two[i].unicode() - '0');
  return negative ? -n : n;
}

void AddToContinuationList(QString& list, const QString& label) {
  const QStringList parts = list.split(QLatin1Char(','), Qt::SkipEmptyParts);
  if (parts.contains(label)) return;
  if (!list.isEmpty()) list += QLatin1Char(',');
  list += label;
}

}  // namespace merilog
