#include "core/recordview/RecordChartModel.h"

#include <QFileInfo>
#include <algorithm>
#include <climits>
#include <utility>

#include "core/base/MessageTable.h"
#include "core/measure/ChartNumberText.h"
#include "core/measure/ScaleStep.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFigures.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordTexts.h"
#include "core/recordview/RecordChartTrace.h"
#include "core/recordview/RecordNumberText.h"
#include "core/recordview/RecordReadCache.h"

namespace merilog {

namespace {

const Rgb kInitialColour{0, 255, 255};
// The cursor's y for a reading that has no place on the chart: above the top edge (500).
constexpr long long kOffChartY = 1000;
// Readings between two progress reports: all readings, a range.
constexpr long long kProgressAll = 20000;
constexpr long long kProgressRange = 10000;

bool AllDigits(const QString& text) {
  return !text.isEmpty() &&
         std::all_of(text.begin(), text.end(), [](QChar c) { return c >= QLatin1Char('0') && c <= QLatin1Char('9'); });
}

// Digits only, so the one failure is a number past the largest: it is over any count.
long long RangeNumber(const QString& digits) {
  bool ok = false;
  const long long n = digits.toLongLong(&ok);
  return ok ? n : LLONG_MAX;
}

// The integer part of a field's number, "%d".
QString IntegerPartText(const QString& text) {
  const double v = LeadingNumber(text.toStdString());
  return QString::number(static_cast<long long>(std::clamp(v, double(INT_MIN), double(INT_MAX))));
}

}  // namespace

QStringList RecordChartScaleLabels() {
  QStringList labels;
  for (const ScaleStepEntry& step : ScaleStepTable()) {
    QString label = QString::fromStdString(step.label);
    if (label.endsWith(QLatin1Char('M'))) label.insert(label.size() - 1, QLatin1Char(' '));
    labels << label;
  }
  return labels;
}

RecordChartModel::RecordChartModel(Prompter& prompter, FolderFinder findFolder)
    : prompter_(prompter),
      findFolder_(std::move(findFolder)),
      cache_(std::make_shared<RecordReadCache>()),
      drawCache_(std::make_shared<RecordReadCache>()) {
  if (!findFolder_) findFolder_ = [](Prompter& p) { return FindRecordFolder(p, RecordFolderCaller::ListCheck); };
  view_.scales = RecordChartScaleLabels();
  SetTexts();
}

RecordChartModel::~RecordChartModel() = default;

bool RecordChartModel::Busy() const {
  return jobs_.Busy() || drawJob_.Busy() || cursorWanted_;
}

void RecordChartModel::Changed() {
  if (onChanged) onChanged();
}

void RecordChartModel::SetTexts() {
  RecordChartViewState& v = view_;
  v.title = LookupMessage("12", "Chart Record");
  v.settingsFrame = LookupMessage("85", "Settings");
  v.colourCaption = LookupMessage("123", "Color Print");
  v.changeColourText = LookupMessage("124", "Change Color");
  v.countCaption = LookupMessage("150", "Data Quantity：");
  v.scaleCaption = LookupMessage("51", "Y-Scale");
  v.drawText = LookupMessage("151", "Draw");
  v.draw2ndText = QStringLiteral("2ND") + v.drawText;
  v.clearText = LookupMessage("152", "Clear");
  v.allText = LookupMessage("153", "Drawing with all");
  v.rangeText = LookupMessage("154", "Drawing data from");
  v.toCaption = LookupMessage("155", "to");
  v.afterText = LookupMessage("156", "");
  v.exitText = LookupMessage("09", "Exit");
}

const RecordListEntry* RecordChartModel::ChosenEntry() const {
  return records_.At(view_.selectedRecord);
}

void RecordChartModel::Opening() {
  SetTexts();  // the language may have changed since the last opening
  ++generation_;
  RecordChartViewState& v = view_;
  v.waitCursor = false;  // answers to an earlier opening are dropped
  v.records.clear();
  v.selectedRecord = -1;
  v.recordPlaceholder.clear();
  v.count.clear();
  v.rangeMode = false;
  v.fromField.enabled = v.toField.enabled = false;
  v.drawButton.enabled = v.draw2ndButton.enabled = false;
  v.clearButton.enabled = true;
  v.selectedScale = kDefaultScaleStep;
  factor_ = ScaleStep(kDefaultScaleStep).factor;
  v.lineColour = kInitialColour;
  v.sliderMaximum = v.sliderPosition = 0;
  v.cursorNumber.clear();
  v.cursorValue.clear();
  v.cursorDate.clear();
  picture_ = {};
  ++v.pictureVersion;
  drawn_ = false;
  records_.Clear();
  folder_ = findFolder_(prompter_);
  if (!folder_) {
    v.recordPlaceholder = LookupMessage("1024", "No records were found.");
    return;
  }
  v.waitCursor = true;
  records_.Fill(jobs_, prompter_, *folder_, RecordListKind::Chart, [this] {
    view_.waitCursor = false;
    view_.records = records_.Labels();
    view_.recordPlaceholder = view_.records.isEmpty() ? LookupMessage("1024", "No records were found.")
                                                      : LookupMessage("1013", "Please select a record.");
    Changed();
  });
}

void RecordChartModel::RecordChosen(int entry) {
  if (!records_.At(entry)) return;
  if (!folder_ || !EnterRecordFolder(*folder_, prompter_, RecordFolderCaller::ChartDraw)) return;
  view_.selectedRecord = entry;
  view_.waitCursor = true;
  drawFresh_ = true;
  const int generation = ++generation_;
  jobs_.Start<RecordResult<long long>>(
      [cache = cache_, path = records_.At(entry)->path](JobProgress&) -> RecordResult<long long> {
        // Opened afresh: a session may have added readings since the last look.
        if (RecordStatus opened = cache->Use(path, true); !opened) return opened;
        auto figures = ReadRecordFigures(cache->Database());
        if (!figures) return figures.status();
        return figures->value.count;
      },
      [this, generation](RecordResult<long long> count) {
        if (generation != generation_) return;
        view_.waitCursor = false;
        if (!count) {
          // Nothing of the record chosen before stays: no count, nothing to draw.
          view_.count.clear();
          view_.drawButton.enabled = view_.draw2ndButton.enabled = false;
          Changed();
          prompter_.Message(count.error(), record_texts::ErrorCaption(), Prompter::Icon::Exclamation,
                            Prompter::Buttons::Ok);
          return;
        }
        view_.count = QString::number(count.value());
        view_.drawButton.enabled = view_.draw2ndButton.enabled = true;
        Changed();
      });
}

void RecordChartModel::AllChosen() {
  view_.rangeMode = false;
  view_.fromField.enabled = view_.toField.enabled = false;
}

void RecordChartModel::RangeChosen() {
  view_.rangeMode = true;
  view_.fromField.enabled = view_.toField.enabled = true;
}

void RecordChartModel::ScaleChosen(int entry) {
  if (entry < 0 || entry >= kScaleStepCount) return;
  view_.selectedScale = entry;
  factor_ = ScaleStep(entry).factor;
}

void RecordChartModel::ChangeColour() {
  if (const std::optional<Rgb> chosen = prompter_.ChooseColour(view_.lineColour)) view_.lineColour = *chosen;
  // The chart is restored from its snapshot, which holds no marker.
  picture_.marker.reset();
}

void RecordChartModel::Draw() {
  StartDraw(RecordColumn::Value);
}

void RecordChartModel::Draw2nd() {
  StartDraw(RecordColumn::Value2nd);
}

void RecordChartModel::StopEarly(const QString& text, const QString& caption, Prompter::Icon icon) {
  view_.clearButton.enabled = true;
  view_.progressShown = false;
  view_.waitCursor = false;
  Changed();
  if (!text.isEmpty()) prompter_.Message(text, caption, icon, Prompter::Buttons::Ok);
}

void RecordChartModel::StartDraw(RecordColumn column) {
  const RecordListEntry* entry = ChosenEntry();
  if (!entry || view_.drawing) return;
  RecordChartViewState& v = view_;
  v.waitCursor = true;
  v.clearButton.enabled = false;
  v.progressShown = true;
  v.progressValue = 0;
  if (!folder_ || !EnterRecordFolder(*folder_, prompter_, RecordFolderCaller::ChartDraw)) return StopEarly({}, {});

  DrawnGraph graph;
  graph.column = column;
  graph.factor = factor_;
  long long points = 0;
  if (!v.rangeMode) {
    const long long n = v.count.toLongLong();
    graph.steps = std::max(n - 1, 0LL);
    points = std::max(n, 0LL);
    v.progressMaximum = points;
  } else {
    if (!AllDigits(v.fromText) || !AllDigits(v.toText) || RangeNumber(v.fromText) < 1)
      return StopEarly(QStringLiteral("The value is error ! Please re-enter."), QString());
    long long from = RangeNumber(v.fromText), to = RangeNumber(v.toText);
    const long long n = v.count.toLongLong();
    if (from <= 0 || to <= 0 || from == to)
      return StopEarly(LookupMessage("1026", "Input Data Error! Please re-enter."), QStringLiteral("ERROR"));
    if (from > n || to > n)
      return StopEarly(LookupMessage("1027", "Over-range! Please re-enter."), QStringLiteral("ERROR"));
    if (from > to) std::swap(from, to);
    graph.first = from - 1;
    graph.steps = to - from;
    points = graph.steps + 1;
    v.progressMaximum = graph.steps;
  }

  v.drawing = true;
  v.cancelButton.shown = true;
  const Rgb colour = v.lineColour;
  const long long every = v.rangeMode ? kProgressRange : kProgressAll;
  drawJob_.Start<TracedGraph>(
      [cache = drawCache_, path = entry->path, fresh = std::exchange(drawFresh_, false), graph, points,
       every](JobProgress& progress) {
        TracedGraph traced;
        // Kept open between the draws of one record choice: the second draws with the file already mapped.
        if (RecordStatus opened = cache->Use(path, fresh, [&progress] { return progress.Cancelled(); }); !opened) {
          traced.cancelled = progress.Cancelled();
          if (!traced.cancelled) traced.status = opened;
          return traced;
        }
        const RecordChartMapping mapping{graph.steps, graph.factor};
        return TraceRecordGraph(
            cache->Database(), cache->Index(), graph.column, graph.first, points, mapping,
            [&progress](long long done, long long total) {
              progress.Report(done, total);
              return !progress.Cancelled();
            },
            every);
      },
      [this, graph, colour, generation = generation_](TracedGraph traced) {
        view_.drawing = false;
        view_.cancelButton.shown = false;
        // A draw that ended as the dialog closed belongs to no picture.
        if (generation != generation_) traced.cancelled = true;
        if (traced.cancelled || !traced.status) {
          StopEarly(traced.status.error, record_texts::ErrorCaption(), Prompter::Icon::Exclamation);
          return;
        }
        picture_.graphs.push_back({colour, std::move(traced.lines)});
        ++view_.pictureVersion;
        drawn_ = true;
        graph_ = graph;
        view_.sliderMaximum = static_cast<int>(std::min<long long>(graph.steps, INT_MAX));
        view_.sliderPosition = std::min(view_.sliderPosition, view_.sliderMaximum);
        view_.clearButton.enabled = true;
        view_.progressShown = false;
        view_.waitCursor = false;
        // The slider is drawn again with the chart, which reads the cursor.
        ReadCursor();
        Changed();
      },
      [this](qint64 done, qint64) {
        view_.progressValue = done;
        Changed();
      });
}

void RecordChartModel::CancelDraw() {
  drawJob_.Cancel();
}

void RecordChartModel::Clear() {
  picture_.graphs.clear();
  picture_.marker.reset();
  ++view_.pictureVersion;
  drawn_ = false;
}

struct RecordChartModel::CursorReading {
  bool found = false;
  std::optional<double> value;
  QString date;
};

void RecordChartModel::SliderMoved(int position) {
  view_.sliderPosition = std::clamp(position, 0, view_.sliderMaximum);
  ReadCursor();
}

void RecordChartModel::ReadCursor() {
  const RecordListEntry* entry = ChosenEntry();
  if (!drawn_ || !entry) return;
  // One read at a time; a slider dragged meanwhile is read where it ends up.
  if (cursorReading_) {
    cursorWanted_ = true;
    return;
  }
  cursorReading_ = true;
  cursorWanted_ = false;
  const long long p = view_.sliderPosition;
  const DrawnGraph graph = graph_;
  const int generation = generation_;
  jobs_.Start<CursorReading>(
      [cache = cache_, path = entry->path, graph, p](JobProgress&) {
        CursorReading r;
        if (!cache->Use(path)) return r;
        const long long rows = cache->Index().RowCount();
        if (rows == 0) return r;
        // A move past the end goes to the last row.
        const long long at = std::min(graph.first + p, rows - 1);
        auto row = ReadRecordRows(cache->Database(), cache->Index(), at, 1);
        if (!row || row->empty()) return r;
        r.found = true;
        r.value = graph.column == RecordColumn::Value ? row->front().value : row->front().value2nd;
        auto date = ReadRecordDateText(cache->Database());
        if (date && date.value()) r.date = *date.value();
        return r;
      },
      [this, graph, p, generation](CursorReading r) {
        cursorReading_ = false;
        if (generation == generation_ && drawn_ && r.found) {
          view_.cursorNumber = QString::number(graph.first + p + 1);
          view_.cursorValue = CursorValueText(r.value);
          view_.cursorDate = r.date;
          const bool onChart = r.value && *r.value != kOverloadValue && *r.value != kNoSecondValue;
          const RecordChartMapping mapping{graph.steps, graph.factor};
          picture_.marker = CursorMarker(graph.steps, p, onChart ? mapping.LogicalY(*r.value) : kOffChartY);
        }
        if (cursorWanted_) ReadCursor();
        Changed();
      });
}

void RecordChartModel::EnterPressed(ChartField focus) {
  switch (focus) {
    case ChartField::From:
      view_.fromText = IntegerPartText(view_.fromText);
      ++view_.toFieldFocusRequests;
      break;
    case ChartField::To:
      view_.toText = IntegerPartText(view_.toText);
      break;
    case ChartField::Other:
      break;
  }
}

void RecordChartModel::FromTextEdited(const QString& text) {
  view_.fromText = text;
}

void RecordChartModel::ToTextEdited(const QString& text) {
  view_.toText = text;
}

void RecordChartModel::Closing() {
  ++generation_;
  drawJob_.Cancel();
  CloseInJob(jobs_, cache_);
  CloseInJob(drawJob_, drawCache_);
}

}  // namespace merilog
