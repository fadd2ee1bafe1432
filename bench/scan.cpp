// Channel-scan figures:
//   scan_fill_4000_readings           the window's work for the largest fetch (200 scans of 20 channels)
//   scan_export_65535_rows            the spreadsheet export of a full grid (on its own thread)
//   scan_longest_stall_during_scan    the longest the event loop waited while a 20-channel scan
//                                     ran on the simulated card with the real timers
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <cstdio>
#include <string>

#include "bench/BenchSupport.h"
#include "core/base/Clock.h"
#include "core/base/Prompter.h"
#include "core/instrument/SessionWorker.h"
#include "core/scan/QtScanTimers.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanGridFiles.h"
#include "core/scan/ScanResultsGrid.h"
#include "core/scan/ScanRun.h"
#include "core/scan/ScanSetup.h"
#include "sim/SimBench.h"
#include "sim/SimSession.h"

using namespace merilog;

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  auto bench = std::make_shared<sim::SimBench>();
  sim::SimMeterDescription description;
  description.resource = "USB0::0x3A7E::0x7700::SN04::INSTR";
  description.model = "P7700A";
  description.channels = 20;
  bench->Add(description);
  SessionWorker worker(
      std::make_unique<sim::SimSession>(bench->SharedMeter(description.resource), description.resource));

  bench::BenchPrompter prompter(Prompter::Answer::Ok);
  SystemClock clock;
  QtScanTimers timers;
  ScanSetup setup(prompter, clock);
  ScanResultsGrid grid;
  ScanRun run(setup, grid, prompter, clock, timers);
  run.SetMeter(&worker);
  setup.LoadCard(20, std::vector<std::string>(20, "\"VOLT\""), "\"VOLT\"");
  setup.TimerEdited("0");
  setup.ScanCountEdited("20");

  // A plain scan of 20 readings, with a 1 ms timer noting the longest gap between its ticks.
  QElapsedTimer since;
  qint64 longest = 0;
  QTimer probe;
  probe.setTimerType(Qt::PreciseTimer);
  QObject::connect(&probe, &QTimer::timeout, [&] { longest = std::max(longest, since.restart()); });
  run.StartScan();
  since.start();
  probe.start(1);
  while (run.Active()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  probe.stop();

  // The largest fetch: Stop After 200 scans of the 20 channels.
  setup.StopAfterNToggled(true);
  setup.NEdited("200");
  setup.ReadFields();
  std::string answer;
  for (int i = 0; i < 4000; ++i) answer += (i ? "," : "") + std::string("+1.23456789E+00");
  QElapsedTimer fill;
  fill.start();
  run.FillResults(answer);
  const double fillMs = fill.nsecsElapsed() / 1e6;

  ScanResultsGrid::Cells cells(65535, std::vector<QString>(22, QStringLiteral("1.23456789")));
  QTemporaryDir dir;
  QElapsedTimer write;
  write.start();
  const GridFileResult written = WriteScanSpreadsheet(dir.filePath("full.xlsx"), cells);
  const double exportMs = write.nsecsElapsed() / 1e6;
  if (!written.written || grid.Rows() != 201 || prompter.messages) {
    std::fprintf(stderr, "failed: %s\n", qPrintable(written.written ? prompter.last : written.error));
    return 1;
  }
  std::printf("scan_fill_4000_readings: %.2f ms\n", fillMs);
  std::printf("scan_export_65535_rows: %.0f ms\n", exportMs);
  std::printf("scan_longest_stall_during_scan: %lld ms\n", static_cast<long long>(longest));
  return 0;
}
