#pragma once

namespace merilog::ui {

// Writes record `number` of the working folder (derived from the current
// directory) as a session of a two-function meter leaves it: 25000 readings of
// DC volts with AC volts as the second function and two overloads, so the
// viewer has pages and second figures and the chart two graphs. For the
// screenshot script; false when the record exists or cannot be written.
bool WriteSampleRecord(int number);

}  // namespace merilog::ui
