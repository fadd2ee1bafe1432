#pragma once
#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <optional>
#include <vector>

#include "core/base/ControlState.h"
#include "core/base/JobRunner.h"
#include "core/base/Prompter.h"
#include "core/records/RecordList.h"
#include "core/records/RecordRows.h"
#include "core/recordview/RecordChartPicture.h"
#include "core/recordview/RecordEntryList.h"

namespace merilog {

class RecordReadCache;

// The Y-scale entries of this dialog: the scale steps, with a blank before
// the M of the first three ("100 M", "10 M", "1 M").
QStringList RecordChartScaleLabels();

// Everything the record chart shows apart from the picture.
struct RecordChartViewState {
  QString title, settingsFrame, colourCaption, changeColourText, countCaption, scaleCaption;
  QString drawText, draw2ndText, clearText, allText, rangeText, toCaption, afterText, exitText;

  QStringList records;
  int selectedRecord = -1;
  QString recordPlaceholder;  // shown while no record is chosen
  QString count;

  bool rangeMode = false;  // false: all readings, true: from .. to
  QString fromText, toText;
  ControlState fromField{true, false}, toField{true, false};

  QStringList scales;
  int selectedScale = 20;
  Rgb lineColour{0, 255, 255};

  ControlState drawButton{true, false}, draw2ndButton{true, false}, clearButton;
  // Shown beside the progress bar while a draw may be stopped.
  ControlState cancelButton{false, true};
  bool progressShown = false;
  qint64 progressValue = 0, progressMaximum = 0;

  int sliderMaximum = 0, sliderPosition = 0;
  QString cursorNumber, cursorValue, cursorDate;

  bool waitCursor = false;
  // A draw runs: everything but its cancel button waits for it.
  bool drawing = false;
  // Counts the requests to move the focus to the "to" field.
  int toFieldFocusRequests = 0;
  // Changes whenever the graphs change (a draw, Clear, opening).
  int pictureVersion = 0;
};

enum class ChartField { Other, From, To };

// The record chart: the dated records of the working folder, a graph of the
// main or the second values of one of them (all readings or a run of them) on
// the 584 x 337 chart, and a slider cursor that reads one reading. Files are
// read by jobs on threads of the model's own, so the window never waits; a
// draw reads each value once and may be cancelled. The main window keeps one
// for the whole run.
class RecordChartModel {
 public:
  // Finds the working folder when the dialog opens; unset: FindRecordFolder
  // for the record chart list.
  using FolderFinder = std::function<std::optional<QString>(Prompter&)>;

  explicit RecordChartModel(Prompter& prompter, FolderFinder findFolder = {});
  ~RecordChartModel();
  RecordChartModel(const RecordChartModel&) = delete;
  RecordChartModel& operator=(const RecordChartModel&) = delete;

  const RecordChartViewState& View() const { return view_; }
  const RecordChartPicture& Picture() const { return picture_; }
  const std::vector<RecordListEntry>& Entries() const { return records_.Entries(); }
  // A graph is on the chart (the cursor works only then).
  bool Drawn() const { return drawn_; }
  // A job has not answered yet (a cursor move still to read counts too).
  bool Busy() const;
  // Called after every change that did not come from a handler (a job's answer, its progress).
  std::function<void()> onChanged;

  // Handlers.
  void Opening();
  void RecordChosen(int entry);
  void AllChosen();
  void RangeChosen();
  void ScaleChosen(int entry);
  void ChangeColour();
  void Draw();
  void Draw2nd();
  void Clear();
  void SliderMoved(int position);
  void EnterPressed(ChartField focus);
  void FromTextEdited(const QString& text);
  void ToTextEdited(const QString& text);
  void CancelDraw();
  void Closing();

 private:
  // What the last draw drew, which the cursor follows.
  struct DrawnGraph {
    RecordColumn column = RecordColumn::Value;
    long long first = 0;  // position of reading 0 of the graph
    long long steps = 0;
    double factor = 1.0;
  };
  struct CursorReading;
  void SetTexts();
  void StartDraw(RecordColumn column);
  // A draw that stops before it reads: Clear back, the progress bar hidden, the message shown.
  void StopEarly(const QString& text, const QString& caption, Prompter::Icon icon = Prompter::Icon::Stop);
  void ReadCursor();
  void Changed();
  const RecordListEntry* ChosenEntry() const;

  Prompter& prompter_;
  FolderFinder findFolder_;
  RecordChartViewState view_;
  RecordChartPicture picture_;
  std::optional<QString> folder_;
  RecordEntryList records_;
  int generation_ = 0;  // of the record chosen; answers for an older choice are dropped
  double factor_ = 1.0;
  bool drawn_ = false;
  DrawnGraph graph_;
  bool drawFresh_ = true;                       // the next draw opens the record afresh (chosen again)
  bool cursorReading_ = false;                  // a cursor job is out
  bool cursorWanted_ = false;                   // the slider moved since it left
  std::shared_ptr<RecordReadCache> cache_;      // for the jobs of jobs_
  std::shared_ptr<RecordReadCache> drawCache_;  // for the draws
  // Declared last, so they finish (and drop their answers) before the rest goes.
  JobRunner drawJob_;
  JobRunner jobs_;
};

}  // namespace merilog
