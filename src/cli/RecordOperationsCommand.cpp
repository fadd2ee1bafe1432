#include "cli/RecordOperationsCommand.h"

#include <QBuffer>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <cstdio>
#include <functional>
#include <optional>

#include "cli/CliHelp.h"
#include "cli/CliPrompter.h"
#include "core/base/MessageTable.h"
#include "core/base/OutputTarget.h"
#include "core/measure/ScaleStep.h"
#include "core/readingconfig/UnattendedRun.h"
#include "core/records/RecordFolder.h"
#include "core/records/RecordLimitCount.h"
#include "core/records/RecordTexts.h"
#include "core/recordview/RecordChartModel.h"
#include "core/recordview/RecordViewerModel.h"
#include "ui/recordview/RecordChartPainter.h"

namespace merilog::cli {

namespace {

const char* const kOperations[] = {"stats", "search", "export", "delete", "chart"};

struct OperationArgs {
  QString word;
  int number = 0;
  QString file;  // export's FILE, chart's --png
  std::optional<QString> high, low, from, to;
  std::optional<double> aboveLimit, belowLimit;  // stats: count the readings outside these
  bool yes = false;
  bool second = false;
  int scale = kDefaultScaleStep;
  std::optional<Rgb> colour;
};

void Print(const QString& line) {
  std::printf("%s\n", line.toLocal8Bit().constData());
}

// The reason, then the usage of the operation named.
void Usage(const QString& word, const char* why) {
  std::fprintf(stderr, "merilog-cli records: %s\n", why);
  PrintUsageLine(qPrintable(QStringLiteral("records ") + word));
}

std::optional<Rgb> ParseColour(QString text) {
  if (text.startsWith(QLatin1Char('#'))) text.remove(0, 1);
  bool ok = false;
  const uint v = text.toUInt(&ok, 16);
  if (!ok || text.size() != 6) return std::nullopt;
  return Rgb{static_cast<int>(v >> 16), static_cast<int>((v >> 8) & 0xff), static_cast<int>(v & 0xff)};
}

bool Parse(const QStringList& args, OperationArgs* out) {
  out->word = args.value(0);
  bool ok = false;
  out->number = args.value(1).toInt(&ok);
  if (!ok || out->number < kFirstRecordNumber || out->number > kLastRecordNumber) {
    Usage(out->word, "the record number is 1 to 10");
    return false;
  }
  for (int i = 2; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&]() -> std::optional<QString> {
      if (i + 1 >= args.size()) return std::nullopt;
      return args[++i];
    };
    std::optional<QString> v;
    if (a == "--hi" && (v = value())) {
      out->high = v;
    } else if (a == "--lo" && (v = value())) {
      out->low = v;
    } else if (out->word == "stats" && (a == "--high" || a == "--low") && (v = value())) {
      std::optional<double> limit;
      QString why;
      if (!ParseLimit(*v, &limit, &why) || !limit) return Usage(out->word, qPrintable(a + ": " + why)), false;
      (a == "--high" ? out->aboveLimit : out->belowLimit) = limit;
    } else if (a == "--from" && (v = value())) {
      out->from = v;
    } else if (a == "--to" && (v = value())) {
      out->to = v;
    } else if (a == "--png" && (v = value())) {
      out->file = *v;
    } else if (a == "--scale" && (v = value())) {
      out->scale = v->toInt(&ok);
      if (!ok || out->scale < 0 || out->scale >= kScaleStepCount) return Usage(out->word, "--scale takes 0 to 47"), false;
    } else if (a == "--colour" && (v = value())) {
      out->colour = ParseColour(*v);
      if (!out->colour) return Usage(out->word, "--colour takes RRGGBB in hexadecimal"), false;
    } else if (a == "--yes") {
      out->yes = true;
    } else if (a == "--second") {
      out->second = true;
    } else if (out->word == "export" && out->file.isEmpty() && !a.startsWith("--")) {
      out->file = a;
    } else {
      Usage(out->word, qPrintable(QStringLiteral("unexpected \"%1\"").arg(a)));
      return false;
    }
  }
  if (out->word == "search" && (!out->high || !out->low)) return Usage(out->word, "search needs --hi and --lo"), false;
  if (out->word == "export" && out->file.isEmpty()) return Usage(out->word, "export needs a FILE"), false;
  if (out->word == "chart" && out->file.isEmpty()) return Usage(out->word, "chart needs --png FILE"), false;
  if (out->from.has_value() != out->to.has_value()) return Usage(out->word, "--from and --to go together"), false;
  // The record dialogs make the record folder current; a relative name means the folder the command ran in.
  if (!out->file.isEmpty()) out->file = QFileInfo(out->file).absoluteFilePath();
  return true;
}

// The models answer through queued calls; this is their event loop.
void WaitWhile(const std::function<bool()>& busy) {
  while (busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// The list entry of the record, or -1 after saying why it is not listed.
int EntryOf(const std::vector<RecordListEntry>& entries, int number, CliPrompter& prompter) {
  for (size_t i = 0; i < entries.size(); ++i)
    if (entries[i].number == number) return static_cast<int>(i);
  // The folder's own message has been shown when it could not be entered.
  const QString folder = DeriveRecordFolder(QDir::currentPath());
  if (!QFileInfo(folder).isDir()) return -1;
  const QString record = RecordFilePath(RecordFileKind::Record, folder, number);
  const QString dbfile = RecordFilePath(RecordFileKind::DBfile, folder, number);
  QString why;
  if (!QFileInfo::exists(record) && !QFileInfo::exists(dbfile)) {
    why = record_texts::NotFound(record);
  } else {
    // A file the list could not read has been named with what is wrong with it.
    const QString shown = prompter.shown.join(QLatin1Char('\n'));
    for (const QString& path : {record, dbfile})
      if (QFileInfo::exists(path) && !shown.contains(QDir::toNativeSeparators(path)))
        why = QStringLiteral("The record file \"%1\" has no date; the record lists leave it out.")
                  .arg(QDir::toNativeSeparators(path));
  }
  if (!why.isEmpty()) prompter.Message(why, QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
  return -1;
}

void PrintFigures(const RecordViewerViewState& v) {
  Print(v.countCaption + v.count);
  Print(v.maxCaption + v.max);
  Print(v.minCaption + v.min);
  Print(v.avgCaption + v.avg);
  if (!v.secondFigures.shown) return;
  Print(v.secondMaxCaption + v.secondMax);
  Print(v.secondMinCaption + v.secondMin);
  Print(v.secondAvgCaption + v.secondAvg);
}

int RunViewerOperation(const OperationArgs& a) {
  CliPrompter prompter(a.yes ? std::optional<bool>(true) : std::nullopt);
  RecordViewerModel model(prompter);
  auto wait = [&model] { WaitWhile([&model] { return model.Busy(); }); };
  model.Opening();
  wait();
  const int entry = EntryOf(model.Entries(), a.number, prompter);
  if (entry < 0) return 1;
  const qsizetype before = prompter.shown.size();
  model.RecordSelected(entry);
  wait();
  if (prompter.shown.size() > before) return 1;  // the record could not be read
  // Whether nothing but these texts was shown since the record was chosen.
  auto onlyShown = [&](const QStringList& allowed) {
    for (qsizetype i = before; i < prompter.shown.size(); ++i)
      if (!allowed.contains(prompter.shown[i])) return false;
    return true;
  };

  if (a.word == "stats") {
    PrintFigures(model.View());
    if (model.View().gapFigures.shown) Print(model.View().gapsText);
    if (!a.aboveLimit && !a.belowLimit) return 0;
    const auto counts = CountOutsideLimits(model.Entries()[entry].path, a.aboveLimit, a.belowLimit);
    if (!counts) {
      prompter.Message(counts.error(), QString(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
      return 1;
    }
    QStringList parts;
    if (a.aboveLimit) parts << QStringLiteral("above %1: %2").arg(*a.aboveLimit).arg(counts.value().above);
    if (a.belowLimit) parts << QStringLiteral("below %1: %2").arg(*a.belowLimit).arg(counts.value().below);
    Print(QStringLiteral("Outside the limits: %1 (%2)").arg(counts.value().Total()).arg(parts.join(", ")));
    return 0;
  }
  if (a.word == "search") {
    model.HighTextEdited(*a.high);
    model.LowTextEdited(*a.low);
    model.Search();
    wait();
    // A refused search leaves the page of the record in the grid: none of it is the search's.
    const bool ran = onlyShown({LookupMessage("1023", "Please narrow the searching range.")});
    if (!ran) return 1;
    const RecordGridModel& grid = model.Grid();
    for (int r = 0; r < grid.rowCount(); ++r) {
      const GridRowTexts row = grid.Row(r);
      Print(QStringLiteral("%1,%2,%3,%4").arg(r + 1).arg(row.value, row.value2nd, row.time));
    }
    const RecordViewerViewState& v = model.View();
    Print(v.matchCaption + v.match);
    PrintFigures(v);
    return 0;
  }
  if (a.word == "export") {
    model.ExportTo(a.file);
    wait();
    const QString completed = QStringLiteral("Output to CSV completed.");
    return prompter.shown.contains(completed) && onlyShown({completed, LookupMessage("1020", "No data in file")}) ? 0
                                                                                                                  : 1;
  }
  // delete
  model.DeleteRecord();
  wait();
  if (!a.yes) return 1;
  const QString folder = DeriveRecordFolder(QDir::currentPath());
  const bool gone = !QFileInfo::exists(RecordFilePath(RecordFileKind::Record, folder, a.number)) &&
                    !QFileInfo::exists(RecordFilePath(RecordFileKind::DBfile, folder, a.number));
  return gone ? 0 : 1;
}

int RunChartOperation(const OperationArgs& a) {
  CliPrompter prompter;
  prompter.colour = a.colour;
  // Said before a long drawing, not after it.
  if (const QString problem = OutputTarget::Problem(a.file); !problem.isEmpty()) {
    prompter.Message(problem, record_texts::ErrorCaption(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
    return 1;
  }
  RecordChartModel model(prompter);
  auto wait = [&model] { WaitWhile([&model] { return model.Busy(); }); };
  model.Opening();
  wait();
  const int entry = EntryOf(model.Entries(), a.number, prompter);
  if (entry < 0) return 1;
  model.RecordChosen(entry);
  wait();
  if (!model.View().drawButton.enabled) return 1;  // the record could not be read
  if (a.from) {
    model.RangeChosen();
    model.FromTextEdited(*a.from);
    model.ToTextEdited(*a.to);
  }
  model.ScaleChosen(a.scale);
  if (a.colour) model.ChangeColour();
  if (a.second)
    model.Draw2nd();
  else
    model.Draw();
  wait();
  if (!model.Drawn()) return 1;
  // Encoded in memory, then written whole: the image writer does not see a write that fails at the close.
  QByteArray png;
  QBuffer buffer(&png);
  buffer.open(QIODevice::WriteOnly);
  QString error;
  if (!ui::RenderRecordChart(model.Picture(), false).save(&buffer, "PNG"))
    error = OutputTarget::Failure(a.file, QStringLiteral("the picture could not be encoded"));
  else
    error = WriteWholeFile(a.file, png);
  if (error.isEmpty()) return 0;
  prompter.Message(error, record_texts::ErrorCaption(), Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
  return 1;
}

}  // namespace

bool IsRecordOperation(const QStringList& args) {
  if (args.isEmpty()) return false;
  // "records chart" alone lists the chart's records.
  if (args.first() == QLatin1String("chart")) return args.size() > 1;
  for (const char* word : kOperations)
    if (args.first() == QLatin1String(word)) return true;
  return false;
}

int RunRecordOperation(const QStringList& args) {
  OperationArgs a;
  if (!Parse(args, &a)) return 2;
  return a.word == "chart" ? RunChartOperation(a) : RunViewerOperation(a);
}

}  // namespace merilog::cli
