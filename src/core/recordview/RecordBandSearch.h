#pragma once
#include <QString>
#include <optional>
#include <vector>

#include "core/records/RecordResult.h"
#include "core/recordview/RecordGridModel.h"

namespace merilog {

class RecordDatabase;

// What Search makes of the two band fields before it reads the record.
struct BandCheck {
  enum class Verdict {
    BothEmpty,    // message 1022
    UpperEmpty,   // message 1034
    LowerEmpty,   // message 1033
    // A limit that is no finite number (nan, inf, beyond the doubles): the
    // field's message, 1034 or 1033; what was typed never reaches the record.
    UpperNotANumber,
    LowerNotANumber,
    Implausible,  // the limits cannot hold any reading of the record
    Search,
  };
  Verdict verdict = Verdict::Search;
  double high = 0, low = 0;  // the numbers in the fields, as entered
};

// The record's maximum and minimum are the numbers of its cut MAX and MIN
// texts. The limits are widened a little before they are compared, so that a
// band drawn on the record's own extremes passes.
BandCheck CheckBand(const QString& highText, const QString& lowText, double recordMax, double recordMin);

// A search stops when this many rows are in the grid.
constexpr int kBandRowLimit = 10000;

struct BandSearchResult {
  RecordStatus status;
  std::vector<GridRowTexts> rows;  // the matches in table order, at most kBandRowLimit
  bool narrow = false;             // the limit was reached: "Please narrow the searching range."
  // Over the matches' cell texts read back as numbers; an overload (shown as
  // "OVLD") is listed but neither added nor compared.
  long long counted = 0;
  double sum = 0;
  std::optional<double> largest, smallest;
};

// Runs "select * from read where read_value <= %.16f and read_value >= %.16f".
BandSearchResult RunBandSearch(RecordDatabase& record, double high, double low);

// The figures a finished search shows ("%.15f"); a search that reached the
// limit leaves the figures as they were.
struct BandFigures {
  QString match, avg, max, min;
};
BandFigures FiguresAfterSearch(const BandSearchResult& result, double high, double low, double recordMax,
                               double recordMin);

}  // namespace merilog
