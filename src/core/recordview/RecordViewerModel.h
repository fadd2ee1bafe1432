#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/ControlState.h"
#include "core/base/JobRunner.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordGaps.h"
#include "core/records/RecordList.h"
#include "core/recordview/RecordEntryList.h"
#include "core/recordview/RecordGridModel.h"

namespace merilog {

class Prompter;
class RecordReadCache;

// Readings per page of the grid.
constexpr int kViewerPageRows = 10000;

// Everything the record viewer shows apart from the grid.
struct RecordViewerViewState {
  QString title, listCaption, refreshText, deleteText, csvText, contentsFrame;
  QString countCaption, maxCaption, minCaption, avgCaption;
  QString secondMaxCaption, secondMinCaption, secondAvgCaption;
  QString bandFrame, highCaption, lowCaption, searchText, matchCaption, pageCaption, exitText;

  QStringList records;
  int selectedRecord = -1;
  ControlState deleteButton{true, false}, csvButton{true, false};
  ControlState highField{true, false}, lowField{true, false};
  QString highText, lowText;

  QString count = QStringLiteral("0"), max = QStringLiteral("0"), min = QStringLiteral("0"), avg = QStringLiteral("0"),
          match = QStringLiteral("0");
  // 2ND MAX, MIN and AVG with their captions: shown for a record with second
  // values, and taken over those alone (not the no-second-value marker).
  ControlState secondFigures{false, true};
  QString secondMax, secondMin, secondAvg;
  // The gaps of a record written by a run that kept reading through a dropped
  // meter: "Gaps: 3, 12.5 s in all", shown only for a record that has any.
  ControlState gapFigures{false, true};
  QString gapsText;

  // The page list with its caption: shown once a record has readings.
  ControlState pageList{false, true};
  QStringList pages;
  int selectedPage = -1;

  bool waitCursor = false;
  // The export under way: rows written of rows to write.
  bool exporting = false;
  qint64 exportDone = 0, exportTotal = 0;
  // A record another program wrote or changed is read once when chosen: rows
  // read of rows to read. Everything but the export stays usable meanwhile.
  bool reading = false;
  qint64 readDone = 0, readTotal = 0;
  // Counts the requests to move the focus to the lower-limit field.
  int lowFieldFocusRequests = 0;
};

// Which field has the focus when Enter is pressed.
enum class ViewerField { Other, High, Low };

// The record viewer: the records of the working folder, the figures of the
// chosen one, its readings page by page, the band search, deletion and the
// CSV export. Files are read by jobs on threads of the model's own, each
// result coming back as a queued call, so the window never waits for a file.
// The main window keeps one for the whole run.
class RecordViewerModel {
 public:
  // Finds the working folder when the dialog opens; unset: FindRecordFolder
  // for the record viewer.
  using FolderFinder = std::function<std::optional<QString>(Prompter&)>;

  explicit RecordViewerModel(Prompter& prompter, FolderFinder findFolder = {});
  ~RecordViewerModel();
  RecordViewerModel(const RecordViewerModel&) = delete;
  RecordViewerModel& operator=(const RecordViewerModel&) = delete;

  const RecordViewerViewState& View() const { return view_; }
  RecordGridModel& Grid() { return grid_; }
  // The list entries behind View().records.
  const std::vector<RecordListEntry>& Entries() const { return records_.Entries(); }
  // A job has not answered yet.
  bool Busy() const;
  // Called after every change of View() that did not come from a handler
  // (a job's answer, its progress).
  std::function<void()> onChanged;

  // Handlers.
  void Opening();
  void RecordSelected(int entry);
  void Refresh();
  void PageSelected(int page);
  void DeleteRecord();
  void Search();
  void EnterPressed(ViewerField focus);
  void HighTextEdited(const QString& text);
  void LowTextEdited(const QString& text);
  void OutputToCsv();
  // The export into a file already chosen, named as it stands.
  void ExportTo(const QString& csvPath);
  void CancelExport();
  // Stops the reading of a record another program wrote (its figures stay unshown).
  void CancelReading();
  // The dialog closes: the record it read is let go.
  void Closing();

 private:
  struct Selection;
  void SetTexts();
  void FillRecordList();
  void ShowFigures(const RecordFigures& figures, long long rows, std::vector<GridRowTexts> firstBlock);
  void ShowGaps(const RecordGapTotals& gaps);
  void ShowPage(int page, std::vector<GridRowTexts> firstBlock = {});
  void ShowSecondFigures(const ColumnFigures& second);
  void RequestBlock(int generation, int block, long long position, int count);
  void Warn(const QString& text);
  void ShowFileProblem(const QString& text);
  void Changed();
  const RecordListEntry* SelectedEntry() const;

  Prompter& prompter_;
  FolderFinder findFolder_;
  RecordViewerViewState view_;
  RecordGridModel grid_;
  std::optional<QString> folder_;
  RecordEntryList records_;
  int generation_ = 0;                    // of the record chosen; answers for an older choice are dropped
  long long rows_ = 0;                    // of the record chosen, in table order
  double recordMax_ = 0, recordMin_ = 0;  // its MAX and MIN texts as numbers
  std::shared_ptr<RecordReadCache> cache_;
  // Declared last, so they finish (and drop their answers) before the rest goes.
  JobRunner exportJob_;
  JobRunner jobs_;
};

}  // namespace merilog
