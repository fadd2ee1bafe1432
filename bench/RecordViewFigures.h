#pragma once
// The record viewer and record chart on large records, through their dialogs
// (offscreen) and models: each figure runs from the user's action until the
// window has painted the result.
#include <SQLiteCpp/SQLiteCpp.h>

#include <QApplication>
#include <QComboBox>
#include <QDateTime>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSlider>
#include <QTableView>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ctime>
#include <functional>
#include <random>

#include "core/base/Prompter.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordIndex.h"
#include "core/recordview/RecordChartModel.h"
#include "core/recordview/RecordViewerModel.h"
#include "ui/recordview/RecordChartDialog.h"
#include "ui/recordview/RecordViewerDialog.h"

namespace merilog::bench {

struct QuietPrompter : Prompter {
  Answer Message(const QString&, const QString&, Icon, Buttons) override { return Answer::Ok; }
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }
};

// A dated record of a two-function session with `rows` readings, written as
// another program would write it: the record's three tables alone, every row
// in one transaction, as fast as the engine takes them.
inline bool WriteForeignRecord(const QString& path, long long rows) {
  RemoveRecordFile(path);
  SQLite::Database db(path.toStdString(), SQLite::OPEN_READWRITE | SQLite::OPEN_CREATE);
  db.exec("PRAGMA synchronous=OFF");
  db.exec(
      "CREATE TABLE read (read_value DOUBLE, read_value_2ND DOUBLE, read_time TEXT(100), read_func TEXT(20), "
      "read_func2 TEXT(20));"
      "CREATE TABLE read_date (r_date DATETIME);"
      "CREATE TABLE read_function (r_function1 TEXT(20), r_function2 TEXT(20));"
      "INSERT INTO read_date VALUES ('2024-03-05 14:03:27');"
      "INSERT INTO read_function VALUES ('DCV', 'ACV');");
  std::mt19937_64 rng(3);
  std::normal_distribution<double> noise(0.0, 0.002);
  SQLite::Transaction txn(db);
  SQLite::Statement insert(db, "INSERT INTO read (read_value, read_value_2ND, read_time) VALUES (?, ?, ?)");
  for (long long i = 0; i < rows; ++i) {
    const ReadTimeText time = FormatReadTime(QTime::fromMSecsSinceStartOfDay(static_cast<int>((i * 25) % 86400000)));
    insert.bind(1, 1.234567 + 0.05 * std::sin(i / 400000.0) + noise(rng));
    insert.bind(2, 0.0051 + noise(rng));
    insert.bindNoCopy(3, time.data());
    insert.exec();
    insert.reset();
  }
  txn.commit();
  return true;
}

// The same record as this program keeps it: its summary made once.
inline bool WriteLargeRecord(const QString& path, long long rows) {
  return WriteForeignRecord(path, rows) && KeepRecordSummary(path);
}

// Processor time of the whole program (all threads), in milliseconds: on a
// shared machine it tells the work apart from the wait for a processor.
inline double CpuMs() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

// Processes events until `done`, then paints the dialog at once; milliseconds
// since `t` started, and the processor time since `cpu0` in `cpu`.
inline double UntilShown(QElapsedTimer& t, QWidget& dialog, const std::function<bool()>& done, double cpu0 = 0,
                         double* cpu = nullptr) {
  while (!done()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  dialog.repaint();
  if (cpu) *cpu = std::min(*cpu, CpuMs() - cpu0);
  return t.nsecsElapsed() / 1e6;
}

inline int RowOf(const std::vector<RecordListEntry>& entries, int number) {
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].number == number) return static_cast<int>(i);
  return -1;
}

// folder holds record `bigNumber` (`bigRows` readings, named `size` in the figures:
// "10m") and `million` (10^6, or fewer in a quick run).
inline int PrintRecordViewFigures(const QString& folder, int bigNumber, long long bigRows, const char* size,
                                  int million, const QString& csvPath) {
  QuietPrompter prompter;
  auto find = [folder](Prompter&) { return std::optional<QString>(folder); };
  double select = 1e9, page = 1e9, search = 1e9, csv = 1e9, chart = 1e9, cursor = 1e9;
  double searchCpu = 1e9, csvCpu = 1e9, chartCpu = 1e9;
  {
    RecordViewerModel model(prompter, find);
    ui::RecordViewerDialog dialog(model);
    dialog.Open();
    dialog.show();
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const int big = RowOf(model.Entries(), bigNumber), small = RowOf(model.Entries(), million);
    if (big < 0 || small < 0) return 1;
    QListWidget* list = dialog.RecordList();
    const RecordGridModel& grid = model.Grid();
    auto shownRows = [&] {
      const int last = std::min(grid.rowCount(), 20) - 1;
      return !model.Busy() && grid.RowReady(0) && grid.RowReady(last);
    };
    for (int run = 0; run < 3; ++run) {
      list->setCurrentRow(small);
      while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
      QElapsedTimer t;
      t.start();
      list->setCurrentRow(big);
      select = std::min(
          select, UntilShown(t, dialog, [&] { return model.View().count == QString::number(bigRows) && shownRows(); }));
      QComboBox* pages = dialog.PageList();
      t.restart();
      pages->setCurrentIndex(pages->count() - 1);
      emit pages->activated(pages->count() - 1);
      page = std::min(page, UntilShown(t, dialog, shownRows));
    }
    list->setCurrentRow(small);
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    // A band of a few thousand readings: the whole record is searched.
    for (int run = 0; run < 3; ++run) {
      model.HighTextEdited(QStringLiteral("1.25"));
      model.LowTextEdited(QStringLiteral("1.2395"));
      QElapsedTimer t;
      t.start();
      const double cpu0 = CpuMs();
      model.Search();
      search = std::min(search, UntilShown(
                                    t, dialog, [&] { return !model.Busy(); }, cpu0, &searchCpu));
    }
    std::fprintf(stderr, "search matched %s\n", qPrintable(model.View().match));
    for (int run = 0; run < 2; ++run) {
      QElapsedTimer t;
      t.start();
      const double cpu0 = CpuMs();
      model.ExportTo(csvPath);
      csv = std::min(csv, UntilShown(
                              t, dialog, [&] { return !model.Busy(); }, cpu0, &csvCpu));
    }
  }
  {
    RecordChartModel model(prompter, find);
    ui::RecordChartDialog dialog(model);
    dialog.Open();
    dialog.show();
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    const int big = RowOf(model.Entries(), bigNumber);
    if (big < 0) return 1;
    model.RecordChosen(big);
    while (model.Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    for (int run = 0; run < 3; ++run) {
      model.Clear();
      QElapsedTimer t;
      t.start();
      const double cpu0 = CpuMs();
      dialog.DrawButton()->click();
      chart = std::min(chart, UntilShown(
                                  t, dialog, [&] { return model.Drawn() && !model.Busy(); }, cpu0, &chartCpu));
    }
    QSlider* slider = dialog.Slider();
    for (int run = 0; run < 5; ++run) {
      const int to = slider->maximum() - 1000 - run;
      QElapsedTimer t;
      t.start();
      slider->setValue(to);
      cursor = std::min(cursor, UntilShown(t, dialog, [&] {
                          return !model.Busy() && model.View().cursorNumber == QString::number(to + 1);
                        }));
    }
  }
  std::printf("viewer_select_%s_ms: %.1f ms\n", size, select);
  std::printf("viewer_page_%s_ms: %.1f ms\n", size, page);
  std::printf("search_1m_ms: %.1f ms\n", search);
  std::printf("csv_1m_ms: %.0f ms\n", csv);
  std::printf("chart_all_%s_ms: %.1f ms\n", size, chart);
  std::printf("cursor_%s_ms: %.2f ms\n", size, cursor);
  std::printf("search_1m_cpu_ms: %.1f ms\n", searchCpu);
  std::printf("csv_1m_cpu_ms: %.0f ms\n", csvCpu);
  std::printf("chart_all_%s_cpu_ms: %.1f ms\n", size, chartCpu);
  std::fflush(stdout);
  return 0;
}

}  // namespace merilog::bench
