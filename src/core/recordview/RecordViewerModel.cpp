#include "core/recordview/RecordViewerModel.h"

#include <SQLiteCpp/SQLiteCpp.h>

#include <QFileInfo>
#include <algorithm>

#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/measure/ChartNumberText.h"
#include "core/records/RecordCsv.h"
#include "core/records/RecordDatabase.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordFormat.h"
#include "core/records/RecordTexts.h"
#include "core/recordview/RecordBandSearch.h"
#include "core/recordview/RecordNumberText.h"
#include "core/recordview/RecordReadCache.h"

namespace merilog {

namespace {

// The characters a limit may hold.
bool LimitCharacter(QChar c) {
  return (c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') || c == QLatin1Char('E') ||
         c == QLatin1Char('e') || c == QLatin1Char('-');
}

// More than one point, or more than one E or e in all.
bool TooManyMarks(const QString& text) {
  return text.count(QLatin1Char('.')) > 1 || text.count(QLatin1Char('E')) + text.count(QLatin1Char('e')) > 1;
}

double NumberOf(const QString& text) {
  return LeadingNumber(text.toStdString());
}

// A figure the aggregate left empty (no reading counted) shows as zero.
double OrZero(const std::optional<double>& v) {
  return v.value_or(0.0);
}

std::vector<GridRowTexts> PageTexts(const std::vector<RecordRow>& rows) {
  std::vector<GridRowTexts> texts;
  texts.reserve(rows.size());
  for (const RecordRow& r : rows) texts.push_back(PageRowTexts(r));
  return texts;
}

}  // namespace

RecordViewerModel::RecordViewerModel(Prompter& prompter, FolderFinder findFolder)
    : prompter_(prompter), findFolder_(std::move(findFolder)), cache_(std::make_shared<RecordReadCache>()) {
  if (!findFolder_) findFolder_ = [](Prompter& p) { return FindRecordFolder(p, RecordFolderCaller::Viewer); };
  grid_.SetBlockRequest([this](int generation, int block, long long position, int count) {
    RequestBlock(generation, block, position, count);
  });
  SetTexts();
}

RecordViewerModel::~RecordViewerModel() = default;

bool RecordViewerModel::Busy() const {
  return jobs_.Busy() || exportJob_.Busy();
}

void RecordViewerModel::Changed() {
  if (onChanged) onChanged();
}

void RecordViewerModel::SetTexts() {
  RecordViewerViewState& v = view_;
  v.title = LookupMessage("11", "View Record");
  v.listCaption = LookupMessage("130", "Record List");
  v.refreshText = LookupMessage("131", "Refresh");
  v.deleteText = LookupMessage("132", "Delete Record");
  v.csvText = LookupMessage("142", "Output to CSV");
  v.contentsFrame = LookupMessage("133", "Record Contents");
  v.countCaption = LookupMessage("150", "Data Quantity：");
  v.maxCaption = LookupMessage("134", "MAX：");
  v.minCaption = LookupMessage("135", "MIN：");
  v.avgCaption = LookupMessage("136", "AVG：");
  v.secondMaxCaption = QStringLiteral("2ND ") + v.maxCaption;
  v.secondMinCaption = QStringLiteral("2ND ") + v.minCaption;
  v.secondAvgCaption = QStringLiteral("2ND ") + v.avgCaption;
  v.bandFrame = LookupMessage("137", "Band width");
  v.highCaption = LookupMessage("139", "HI Limiter");
  v.lowCaption = LookupMessage("138", "LO Limiter");
  v.searchText = LookupMessage("141", "Search");
  v.matchCaption = LookupMessage("1032", "Match_sample：");
  v.pageCaption = LookupMessage("140", "Range browsing");
  v.exitText = LookupMessage("95", "Exit");
}

void RecordViewerModel::Warn(const QString& text) {
  prompter_.Message(text, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

void RecordViewerModel::ShowFileProblem(const QString& text) {
  prompter_.Message(text, record_texts::ErrorCaption(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
}

const RecordListEntry* RecordViewerModel::SelectedEntry() const {
  return records_.At(view_.selectedRecord);
}

void RecordViewerModel::Opening() {
  SetTexts();  // the language may have changed since the last opening
  ++generation_;
  RecordViewerViewState& v = view_;
  v.waitCursor = false;  // answers to an earlier opening are dropped
  v.selectedRecord = -1;
  v.count = v.max = v.min = v.avg = v.match = QStringLiteral("0");
  v.secondFigures.shown = false;
  ShowGaps({});
  v.secondMax.clear();
  v.secondMin.clear();
  v.secondAvg.clear();
  v.pageList.shown = true;
  v.pages.clear();
  v.selectedPage = -1;
  v.highText.clear();
  v.lowText.clear();
  // Nothing is chosen yet, so nothing can be deleted, exported or searched.
  v.deleteButton.enabled = v.csvButton.enabled = false;
  v.highField.enabled = v.lowField.enabled = false;
  rows_ = 0;
  recordMax_ = recordMin_ = 0;
  grid_.Clear();
  folder_ = findFolder_(prompter_);
  FillRecordList();
}

void RecordViewerModel::FillRecordList() {
  records_.Clear();
  view_.records.clear();
  if (!folder_ || !EnterRecordFolder(*folder_, prompter_, RecordFolderCaller::Viewer)) return;
  view_.waitCursor = true;
  records_.Fill(jobs_, prompter_, *folder_, RecordListKind::Viewer, [this] {
    view_.waitCursor = false;
    view_.records = records_.Labels();
    Changed();
  });
}

struct RecordViewerModel::Selection {
  bool gone = false;     // the file is no longer there
  bool stopped = false;  // its reading was stopped
  QString error;
  RecordFigures figures;
  RecordGapTotals gaps;
  long long rows = 0;
  std::vector<GridRowTexts> firstBlock;
};

void RecordViewerModel::RecordSelected(int entry) {
  if (!records_.At(entry)) return;
  RecordViewerViewState& v = view_;
  v.selectedRecord = entry;
  v.deleteButton.enabled = v.csvButton.enabled = true;
  v.highField.enabled = v.lowField.enabled = true;
  v.waitCursor = true;
  const int generation = ++generation_;
  const QString path = records_.At(entry)->path;
  // A choice made while an earlier record is still being read stops that reading.
  jobs_.Cancel();
  jobs_.Start<Selection>(
      [cache = cache_, path](JobProgress& progress) {
        Selection s;
        if (!QFileInfo::exists(path)) {
          s.gone = true;
          return s;
        }
        // Opened afresh: a session may have added readings since the last look.
        if (RecordStatus opened = cache->Use(path, true,
                                             [&progress](long long done, long long total) {
                                               progress.Report(done, total);
                                               return !progress.Cancelled();
                                             });
            !opened) {
          s.error = opened.error;
          s.stopped = progress.Cancelled();
          return s;
        }
        auto figures = cache->Index().Figures(cache->Database());
        if (!figures) {
          s.error = figures.error();
          return s;
        }
        s.figures = figures.value();
        try {
          s.gaps = RecordGaps::Sum(RecordGaps::Load(cache->Database().Sql()));
        } catch (const SQLite::Exception&) {
          // Gaps that cannot be read are not shown; the readings are what counts.
        }
        s.rows = cache->Index().RowCount();
        // The first rows come along, so the first page shows with the figures.
        auto rows = ReadRecordRows(cache->Database(), cache->Index(), 0,
                                   static_cast<int>(std::min<long long>(s.rows, RecordGridModel::kBlockRows)));
        if (rows) s.firstBlock = PageTexts(rows.value());
        return s;
      },
      [this, generation](Selection s) {
        if (generation != generation_) return;
        view_.waitCursor = false;
        view_.reading = false;
        if (s.gone) {
          Changed();
          return;
        }
        if (s.stopped) {
          // Nothing of the record is known: the figures show as when none was chosen.
          view_.count = view_.max = view_.min = view_.avg = QStringLiteral("0");
          view_.secondFigures.shown = false;
          view_.pages.clear();
          rows_ = 0;
          ShowPage(-1);
          Changed();
          return;
        }
        if (!s.error.isEmpty()) {
          Changed();
          ShowFileProblem(s.error);
          return;
        }
        ShowFigures(s.figures, s.rows, std::move(s.firstBlock));
        ShowGaps(s.gaps);
        Changed();
      },
      [this, generation](qint64 done, qint64 total) {
        if (generation != generation_) return;
        view_.reading = true;
        view_.readDone = done;
        view_.readTotal = total;
        Changed();
      });
}

void RecordViewerModel::CancelReading() {
  jobs_.Cancel();
}

void RecordViewerModel::ShowFigures(const RecordFigures& figures, long long rows,
                                    std::vector<GridRowTexts> firstBlock) {
  RecordViewerViewState& v = view_;
  rows_ = rows;
  const ColumnFigures& f = figures.value;
  v.count = QString::number(f.count);
  v.max = CutFigureText(OrZero(f.max));
  v.min = CutFigureText(OrZero(f.min));
  v.avg = CutFigureText(OrZero(f.avg));
  recordMax_ = NumberOf(v.max);
  recordMin_ = NumberOf(v.min);
  // Taken over the second values alone, not the no-second-value marker.
  v.secondFigures.shown = figures.second.count > 0;
  ShowSecondFigures(figures.second);
  // Full pages, then the rest; a count that is a multiple of a page gets no empty page. The pages
  // cover the rows the record holds (a reading that was no number has a row but no count).
  v.pages.clear();
  for (long long first = 1; first <= rows; first += kViewerPageRows)
    v.pages << QStringLiteral(" %1 - %2 ").arg(first).arg(std::min(rows, first + kViewerPageRows - 1));
  ShowPage(v.pages.isEmpty() ? -1 : 0, std::move(firstBlock));
}

void RecordViewerModel::ShowGaps(const RecordGapTotals& gaps) {
  view_.gapFigures.shown = gaps.count > 0;
  view_.gapsText = gaps.count > 0 ? QStringLiteral("Gaps: ") + RecordGaps::Describe(gaps) : QString();
}

void RecordViewerModel::ShowSecondFigures(const ColumnFigures& s) {
  view_.secondMax = FixedText(OrZero(s.max), 12);
  view_.secondMin = FixedText(OrZero(s.min), 12);
  view_.secondAvg = FixedText(OrZero(s.avg), 12);
}

void RecordViewerModel::ShowPage(int page, std::vector<GridRowTexts> firstBlock) {
  view_.selectedPage = page;
  if (page < 0) {
    grid_.Clear();
    return;
  }
  const long long first = static_cast<long long>(page) * kViewerPageRows;
  grid_.ShowPage(first, static_cast<int>(std::clamp<long long>(rows_ - first, 0, kViewerPageRows)),
                 std::move(firstBlock));
}

void RecordViewerModel::PageSelected(int page) {
  if (page < 0 || page >= view_.pages.size()) return;
  ShowPage(page);
}

void RecordViewerModel::RequestBlock(int gridGeneration, int block, long long position, int count) {
  const RecordListEntry* entry = SelectedEntry();
  if (!entry) return;
  jobs_.Start<std::vector<GridRowTexts>>(
      [cache = cache_, path = entry->path, position, count](JobProgress&) {
        std::vector<GridRowTexts> texts;
        if (!cache->Use(path)) return texts;
        auto rows = ReadRecordRows(cache->Database(), cache->Index(), position, count);
        if (rows) texts = PageTexts(rows.value());
        return texts;
      },
      [this, gridGeneration, block](std::vector<GridRowTexts> rows) {
        grid_.FillBlock(gridGeneration, block, std::move(rows));
      });
}

void RecordViewerModel::Refresh() {
  Opening();
}

void RecordViewerModel::DeleteRecord() {
  const RecordListEntry* entry = SelectedEntry();
  const Prompter::Answer answer =
      prompter_.Message(LookupMessage("1021", "Are you sure you want to delete this record?"), QString(),
                        Prompter::Icon::Information, Prompter::Buttons::YesNo);
  if (answer == Prompter::Answer::Yes && entry && folder_) {
    // Both files of the number go, whichever entry was chosen.
    const int number = RecordNumberFromLabel(entry->label);
    const QStringList paths{RecordFilePath(RecordFileKind::Record, *folder_, number),
                            RecordFilePath(RecordFileKind::DBfile, *folder_, number)};
    view_.waitCursor = true;
    jobs_.Start<QStringList>(
        [cache = cache_, paths](JobProgress&) {
          cache->Close();
          QStringList failed;
          for (const QString& path : paths)
            if (!RemoveRecordFile(path)) failed << record_texts::CannotDelete(path);
          return failed;
        },
        [this](QStringList failed) {
          view_.waitCursor = false;
          if (!failed.isEmpty()) ShowFileProblem(failed.join(QLatin1Char('\n')));
          Refresh();
          Changed();
        });
    return;
  }
  Refresh();
}

void RecordViewerModel::Search() {
  const RecordListEntry* entry = SelectedEntry();
  const BandCheck check = CheckBand(view_.highText, view_.lowText, recordMax_, recordMin_);
  switch (check.verdict) {
    case BandCheck::Verdict::BothEmpty:
      return Warn(LookupMessage("1022", "Please input a valid value."));
    case BandCheck::Verdict::UpperEmpty:
    case BandCheck::Verdict::UpperNotANumber:
      return Warn(LookupMessage("1034", "Please input a valid Max_value."));
    case BandCheck::Verdict::LowerEmpty:
    case BandCheck::Verdict::LowerNotANumber:
      return Warn(LookupMessage("1033", "Please input a valid Min_value."));
    case BandCheck::Verdict::Implausible:
      Warn(QStringLiteral(
          "HI Limiter should define the maximum possible value in the filtered data. LO limiter should define the "
          "minimum possible value in the filtered data."));
      view_.match = QStringLiteral("0");
      return;
    case BandCheck::Verdict::Search:
      break;
  }
  if (!entry) return;
  view_.waitCursor = true;
  const int generation = generation_;
  jobs_.Start<BandSearchResult>(
      [cache = cache_, path = entry->path, check](JobProgress&) {
        BandSearchResult result;
        result.status = cache->Use(path);
        if (!result.status) return result;
        return RunBandSearch(cache->Database(), check.high, check.low);
      },
      [this, generation, check](BandSearchResult result) {
        if (generation != generation_) return;
        view_.waitCursor = false;
        if (!result.status) {
          Changed();
          ShowFileProblem(result.status.error);
          return;
        }
        const BandFigures f = FiguresAfterSearch(result, check.high, check.low, recordMax_, recordMin_);
        view_.selectedPage = -1;
        grid_.ShowRows(std::move(result.rows));
        if (result.narrow) {
          Changed();
          prompter_.Message(LookupMessage("1023", "Please narrow the searching range."), QString(),
                            Prompter::Icon::None, Prompter::Buttons::Ok);
          return;
        }
        view_.match = f.match;
        view_.avg = f.avg;
        view_.max = f.max;
        view_.min = f.min;
        Changed();
      });
}

void RecordViewerModel::EnterPressed(ViewerField focus) {
  switch (focus) {
    case ViewerField::High:
      // A limit that is no finite number stays as typed, for Search to refuse.
      if (FiniteLeadingNumber(view_.highText.toStdString())) view_.highText = FixedText(NumberOf(view_.highText), 12);
      ++view_.lowFieldFocusRequests;
      break;
    case ViewerField::Low:
      Search();
      break;
    case ViewerField::Other:
      break;
  }
}

void RecordViewerModel::HighTextEdited(const QString& text) {
  view_.highText = text;
  const bool strange = !std::all_of(text.begin(), text.end(), LimitCharacter);
  if (!strange && !TooManyMarks(text)) return;
  if (strange)
    prompter_.Message(QStringLiteral("The value is error."), QString(), Prompter::Icon::None, Prompter::Buttons::Ok);
  else
    prompter_.Message(QStringLiteral("The value of \"R\" is error."), QStringLiteral("."), Prompter::Icon::None,
                      Prompter::Buttons::Ok);
  view_.highText = FixedText(NumberOf(text), 6);
}

void RecordViewerModel::LowTextEdited(const QString& text) {
  view_.lowText = text;
  if (TooManyMarks(text))
    prompter_.Message(QStringLiteral("The value of \"R\" is error."), QStringLiteral("."), Prompter::Icon::None,
                      Prompter::Buttons::Ok);
}

void RecordViewerModel::OutputToCsv() {
  const QString name = prompter_.SaveFileName(view_.csvText, QString(), QStringLiteral("CSV Files(*.CSV)"));
  if (name.isEmpty()) return;
  // ".csv" is added whatever the name ends with.
  ExportTo(name + QStringLiteral(".csv"));
}

void RecordViewerModel::ExportTo(const QString& csvPath) {
  const RecordListEntry* entry = SelectedEntry();
  if (!entry) return;
  const QString dateText = CsvDateTextFromLabel(entry->label);
  view_.exporting = true;
  view_.exportDone = 0;
  view_.exportTotal = 0;
  exportJob_.Start<CsvExport>(
      [path = entry->path, csvPath, dateText](JobProgress& progress) {
        // A file that has gone gives the first line alone.
        const QString recordPath = QFileInfo::exists(path) ? path : QString();
        return WriteRecordCsv(recordPath, csvPath, dateText, [&progress](long long done, long long total) {
          progress.Report(done, total);
          return !progress.Cancelled();
        });
      },
      [this](CsvExport result) {
        view_.exporting = false;
        Changed();
        switch (result.outcome) {
          case CsvExport::Outcome::CannotOpen:
            // The reason follows the dialog's own text: a user cannot fix what is not named.
            prompter_.Message(QStringLiteral("Save As Error.\n") + result.error, record_texts::ErrorCaption(),
                              Prompter::Icon::None, Prompter::Buttons::Ok);
            return;
          case CsvExport::Outcome::RecordFailed:
            ShowFileProblem(result.error);
            return;
          case CsvExport::Outcome::Cancelled:
            return;
          case CsvExport::Outcome::NoData:
            Warn(LookupMessage("1020", "No data in file"));
            break;
          case CsvExport::Outcome::Written:
            break;
        }
        prompter_.Message(QStringLiteral("Output to CSV completed."), QString(), Prompter::Icon::Information,
                          Prompter::Buttons::Ok);
      },
      [this](qint64 done, qint64 total) {
        view_.exportDone = done;
        view_.exportTotal = total;
        Changed();
      });
  Changed();
}

void RecordViewerModel::CancelExport() {
  exportJob_.Cancel();
}

void RecordViewerModel::Closing() {
  ++generation_;
  view_.reading = false;
  jobs_.Cancel();
  CloseInJob(jobs_, cache_);
}

}  // namespace merilog
