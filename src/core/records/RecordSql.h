#pragma once
#include <QString>

namespace merilog::record_sql {

// The SQL texts the record dialogs run, word for word. The grid, the export
// and the chart read the rows of "select * from read" in its order, by row id.

// Viewer statistics: main values and second values.
inline constexpr char kValueFigures[] =
    "select avg(read_value) as avg_num ,count(read_value) as sum_num ,max(read_value) as max_num ,"
    "min(read_value) as min_num from read";
inline constexpr char kValue2ndFigures[] =
    "select avg(read_value_2ND) as avg_num ,count(read_value_2ND) as sum_num ,max(read_value_2ND) as max_num ,"
    "min(read_value_2ND) as min_num from read";

// Viewer band filter; format with the upper and the lower limit.
inline constexpr char kBandFilterFormat[] = "select * from read where read_value <= %.16f and read_value >= %.16f";
inline QString BandFilter(double high, double low) {
  return QString::asprintf(kBandFilterFormat, high, low);
}

}  // namespace merilog::record_sql
