#include "core/recordview/RecordBandSearch.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <cstring>

#include "core/measure/ChartNumberText.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordSql.h"
#include "core/recordview/RecordNumberText.h"

namespace merilog {

namespace {

// How far the limits are widened beyond the record's extremes.
constexpr double kWidenUp = 6e-15;
constexpr double kWidenDown = 1e-15;

int ColumnIndex(SQLite::Statement& q, const char* name) {
  for (int i = 0; i < q.getColumnCount(); ++i)
    if (std::strcmp(q.getColumnName(i), name) == 0) return i;
  throw SQLite::Exception(std::string("no column ") + name);
}

std::optional<double> OptionalValue(const SQLite::Column& c) {
  if (c.isNull()) return std::nullopt;
  return c.getDouble();
}

}  // namespace

BandCheck CheckBand(const QString& highText, const QString& lowText, double recordMax, double recordMin) {
  BandCheck check;
  if (highText.isEmpty() && lowText.isEmpty()) {
    check.verdict = BandCheck::Verdict::BothEmpty;
    return check;
  }
  if (highText.isEmpty()) {
    check.verdict = BandCheck::Verdict::UpperEmpty;
    return check;
  }
  if (lowText.isEmpty()) {
    check.verdict = BandCheck::Verdict::LowerEmpty;
    return check;
  }
  const std::optional<double> high = FiniteLeadingNumber(highText.toStdString());
  const std::optional<double> low = FiniteLeadingNumber(lowText.toStdString());
  if (!high || !low) {
    check.verdict = !high ? BandCheck::Verdict::UpperNotANumber : BandCheck::Verdict::LowerNotANumber;
    return check;
  }
  check.high = *high;
  check.low = *low;
  double widenedHigh = check.high, widenedLow = check.low;
  if (recordMax <= check.high)
    widenedHigh = recordMax + kWidenUp;
  else if (recordMin == check.high)
    widenedHigh = recordMin + kWidenUp;
  if (recordMin >= check.low)
    widenedLow = recordMin - kWidenUp;
  else if (recordMax == check.low)
    widenedLow = recordMax - kWidenDown;
  check.verdict = widenedHigh < widenedLow ? BandCheck::Verdict::Implausible : BandCheck::Verdict::Search;
  return check;
}

BandSearchResult RunBandSearch(RecordDatabase& record, double high, double low) {
  BandSearchResult result;
  try {
    SQLite::Statement q(record.Sql(), record_sql::BandFilter(high, low).toStdString());
    const int valueCol = ColumnIndex(q, "read_value");
    const int value2Col = ColumnIndex(q, "read_value_2ND");
    const int timeCol = ColumnIndex(q, "read_time");
    while (q.executeStep()) {
      const std::optional<double> value = OptionalValue(q.getColumn(valueCol));
      GridRowTexts row{GridValueText(value), SearchSecondValueText(OptionalValue(q.getColumn(value2Col))),
                       QString::fromUtf8(q.getColumn(timeCol).getText())};
      if (row.value != QLatin1String("OVLD")) {
        const double shown = LeadingNumber(row.value.toStdString());
        ++result.counted;
        result.sum += shown;
        if (!result.largest || shown > *result.largest) result.largest = shown;
        if (!result.smallest || shown < *result.smallest) result.smallest = shown;
      }
      result.rows.push_back(std::move(row));
      if (static_cast<int>(result.rows.size()) == kBandRowLimit) {
        result.narrow = true;
        break;
      }
    }
  } catch (const SQLite::Exception& e) {
    result.status = RecordStatus::Failure(record.Explain(e));
  }
  return result;
}

BandFigures FiguresAfterSearch(const BandSearchResult& result, double high, double low, double recordMax,
                               double recordMin) {
  BandFigures f;
  f.match = QString::number(result.rows.size());
  if (result.rows.empty()) {
    f.avg = f.max = f.min = FixedText(0.0, 15);
    return f;
  }
  f.avg = FixedText(result.counted > 0 ? result.sum / static_cast<double>(result.counted) : 0.0, 15);
  f.max = FixedText(recordMax <= high ? recordMax : result.largest.value_or(0.0), 15);
  f.min = FixedText(recordMin >= low ? recordMin : result.smallest.value_or(0.0), 15);
  return f;
}

}  // namespace merilog
