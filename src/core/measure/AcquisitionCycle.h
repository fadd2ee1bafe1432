#pragma once
#include <array>
#include <functional>
#include <string>

namespace merilog {

class ChartModel;
class Clock;
class DeviceListModel;
class ReadingSession;
struct MainWindowState;

// One timer tick of a reading run: a reading from every active meter, split
// into main and 2ND values, shown, buffered for the chart and appended to the
// meter's record.
class AcquisitionCycle {
 public:
  enum class TickOutcome {
    Done,        // every meter answered
    Redraw,      // ... and the chart is due to be redrawn
    ReadFailed,  // a meter stopped answering: the run must stop
  };

  AcquisitionCycle(MainWindowState& state, DeviceListModel& devices, ReadingSession& session, ChartModel& chart,
                   const Clock& clock);

  // The tick, up to (not including) the stop and message of a failed read.
  TickOutcome OnReadingTimer();

  // The main and 2ND values of an answer, with atof semantics; the 2ND value
  // is kNoSecondValue unless the meter is of the family and answered "a,b".
  static void ParseAnswer(const std::string& answer, const std::string& identification, double* main,
                          double* second);

 private:
  MainWindowState& state_;
  DeviceListModel& devices_;
  ReadingSession& session_;
  ChartModel& chart_;
  const Clock& clock_;
  std::array<int, 4> mainTraces_{};
};

}  // namespace merilog
