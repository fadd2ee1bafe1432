#include "cli/ScanCommand.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <iostream>
#include <optional>
#include <vector>

#include "cli/CliPrompter.h"
#include "cli/IoCommands.h"
#include "core/app/IoSetup.h"
#include "core/base/Clock.h"
#include "core/base/DocumentOpener.h"
#include "core/base/OutputTarget.h"
#include "core/scan/QtScanTimers.h"
#include "core/scan/ScanChannelText.h"
#include "core/scan/ScanFieldRules.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanGridFiles.h"
#include "core/scan/ScanModel.h"

namespace merilog::cli {

namespace {

// Exit statuses (see ScanCommand.h).
constexpr int kRefused = 1;
constexpr int kMeterStopped = 2;
constexpr int kInterrupted = 130;

std::atomic<int> interrupts{0};

void OnInterrupt(int) {
  interrupts.fetch_add(1);
}

const QString kMomentFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

// A headless run opens nothing: the file is where the command line said.
class NoOpener : public DocumentOpener {
 public:
  bool Open(const QString&) override { return true; }
};

struct ScanArgs {
  int device = 1;
  std::vector<ScanChannelText> channels;
  std::optional<QString> timer, count, scans;
  std::optional<QTime> every;
  std::optional<QDateTime> until, at;
  bool step = false;
  QString xlsx, csv;
};

// Every option is checked whole here, before a meter is searched: a number
// with the message the dialog gives for it.
bool ParseScanArgs(const QStringList& args, ScanArgs* out, std::string* error) {
  auto refuse = [&](const QString& why) {
    *error = why.toStdString();
    return false;
  };
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    if (a == "--step") {
      out->step = true;
      continue;
    }
    if (i + 1 >= args.size()) {
      if (a.startsWith(QStringLiteral("--"))) return refuse(a + QStringLiteral(" needs a value"));
      return refuse(QStringLiteral("unknown scan option \"%1\"").arg(a));
    }
    const QString& v = args[++i];
    // A number option: its field's rule, and the value kept as typed.
    auto number = [&](std::optional<QString>* into, QString (*problem)(const QString&)) {
      const QString why = problem(v);
      if (!why.isEmpty()) return refuse(a + QStringLiteral(" ") + v + QStringLiteral(": ") + why);
      *into = v;
      return true;
    };
    auto moment = [&](std::optional<QDateTime>* into) {
      const QDateTime t = QDateTime::fromString(v, kMomentFormat);
      if (!t.isValid()) return refuse(a + QStringLiteral(" takes \"yyyy/MM/dd HH:mm:ss\""));
      *into = t;
      return true;
    };
    bool ok = true;
    if (a == "--device") {
      out->device = v.toInt(&ok);
      if (!ok || out->device < 1) return refuse(QStringLiteral("--device takes a device-list line 1, 2, ..."));
    } else if (a == "--channel") {
      ScanChannelText c;
      const QString why = ParseScanChannelText(v, &c);
      if (!why.isEmpty()) return refuse(why);
      out->channels.push_back(c);
    } else if (a == "--timer") {
      if (!number(&out->timer, TimerProblem)) return false;
    } else if (a == "--count") {
      if (!number(&out->count, ScanCountProblem)) return false;
    } else if (a == "--scans") {
      if (!number(&out->scans, NScansProblem)) return false;
    } else if (a == "--every") {
      const QTime t = QTime::fromString(v, QStringLiteral("HH:mm:ss"));
      if (!t.isValid()) return refuse(QStringLiteral("--every takes HH:MM:SS"));
      out->every = t;
    } else if (a == "--until" || a == "--at") {
      if (!moment(a == "--until" ? &out->until : &out->at)) return false;
    } else if (a == "--xlsx" || a == "--csv") {
      (a == "--xlsx" ? out->xlsx : out->csv) = v;
    } else {
      return refuse(QStringLiteral("unknown scan option \"%1\"").arg(a));
    }
  }
  if (out->count && (out->every || out->scans))
    return refuse(QStringLiteral("--count is for a plain scan: no --every or --scans"));
  if (out->until && !out->every) return refuse(QStringLiteral("--until needs --every"));
  if (out->until && out->scans) return refuse(QStringLiteral("--until and --scans exclude each other"));
  // The files are checked now, not after a night of scanning.
  for (const QString& target :
       {out->xlsx, out->xlsx.isEmpty() ? out->xlsx : SpreadsheetFileName(out->xlsx), out->csv}) {
    const QString why = target.isEmpty() ? QString() : OutputTarget::Problem(target);
    if (!why.isEmpty()) return refuse(why);
  }
  return true;
}

// Runs the event loop until the condition holds or Ctrl-C is pressed (again).
void WaitFor(const std::function<bool()>& done) {
  const int seen = interrupts.load();
  while (!done() && interrupts.load() == seen) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void PrintGrid(const ScanResultsGrid& grid) {
  if (!grid.HasResults()) return;
  std::vector<qsizetype> widths(static_cast<std::size_t>(grid.Columns()), 0);
  for (const auto& row : grid.AllCells())
    for (std::size_t c = 0; c < row.size(); ++c) widths[c] = std::max(widths[c], row[c].size());
  for (const auto& row : grid.AllCells()) {
    QString line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      if (c) line += QStringLiteral("  ");
      line += row[c].leftJustified(widths[c]);
    }
    while (line.endsWith(' ')) line.chop(1);
    std::cout << line.toStdString() << "\n";
  }
}

// Sets the card up as the command line says; false with a message when it cannot be.
bool Configure(ScanModel& model, const ScanArgs& a, std::string* error) {
  const ScanSetup& setup = model.Setup();
  const int count = setup.ChannelCount();
  if (!a.channels.empty()) {
    // Lower half first: a channel freed from its 4W pair can then be set.
    for (int c = 0; c < count; ++c) {
      model.ScanChannelChosen(c);
      model.ScanFunctionChosen(kScanNone);
    }
  }
  for (const ScanChannelText& c : a.channels) {
    if (c.channel > count) return *error = "the card has " + std::to_string(count) + " channels", false;
    if (c.function == kScan4W && c.channel > count / 2)
      return *error = "4W is for channels 1 to " + std::to_string(count / 2) + " (their pairs carry the sense leads)",
             false;
    model.ScanChannelChosen(c.channel - 1);
    model.ScanFunctionChosen(c.function);
    if (!c.shuntR.isNull()) model.ShuntREdited(c.shuntR);
    if (!c.offset.isNull()) model.CurrentOffsetEdited(c.offset);
  }
  for (const ScanChannelText& c : a.channels)
    if (IsSenseChannel(c.channel - 1, setup.Functions(), count))
      return *error = "channel " + std::to_string(c.channel) + " carries the sense leads of 4W channel " +
                      std::to_string(c.channel - count / 2),
             false;
  if (a.step) model.ScanModeChosen(1);
  if (a.timer) model.TimerEdited(*a.timer);
  if (a.count) model.ScanCountEdited(*a.count);
  if (a.every) {
    model.PerScanIntervalToggled(true);
    model.IntervalChanged(*a.every);
  }
  if (a.scans) {
    model.StopAfterNToggled(true);
    model.NEdited(*a.scans);
  }
  if (a.until) {
    model.StopTimeToggled(true);
    model.PickerChanged(ScanPicker::StopTime, *a.until);
  }
  if (a.at) {
    model.AtTimeToggled(true);
    model.PickerChanged(ScanPicker::AtTime, *a.at);
  }
  return true;
}

// Runs the started scan to its end. The first Ctrl-C stops as the dialog's
// Stop does where a run can stop early, the second (or the first otherwise)
// abandons it at once.
void RunToEnd(ScanModel& model) {
  WaitFor([&] { return !model.Run().Active(); });
  if (!model.Run().Active()) return;
  if (model.Run().CanStop()) {
    model.StopScan();
    if (model.Run().Active()) {
      std::cerr << "merilog-cli: stopping after the scan in progress (Ctrl-C again to end at once)" << std::endl;
      WaitFor([&] { return !model.Run().Active(); });
    }
  }
  if (model.Run().Active()) model.Exit();
}

}  // namespace

int RunScanCommand(const CliOptions& options, const QStringList& args) {
  auto fail = [](const std::string& why, int rc) {
    std::cerr << "merilog-cli: " << why << "\n";
    return rc;
  };
  auto interrupted = [](int kept) {
    std::cerr << "merilog-cli: interrupted; "
              << (kept == 0   ? std::string("no scan kept")
                  : kept == 1 ? std::string("1 scan kept")
                              : std::to_string(kept) + " scans kept")
              << "\n";
    return kInterrupted;
  };
  ScanArgs a;
  std::string error;
  if (!ParseScanArgs(args, &a, &error)) return fail(error, kRefused);
  Instruments instruments;
  if (!SetUpInstruments(options.io, &instruments, &error)) return fail(error, kRefused);
  CliPrompter prompter;
  prompter.saveName = a.xlsx;
  SystemClock clock;
  QtScanTimers timers;
  NoOpener opener;
  ScanModel model(*instruments.resources, instruments.lanResources, prompter, clock, timers, opener);
  QString printed;
  model.onChanged = [&] {
    // The progress as the card counts; a PerScan run names each scan.
    const ScanRun& run = model.Run();
    if (run.CurrentPhase() != ScanRun::Phase::Scanning && run.CurrentPhase() != ScanRun::Phase::WaitingToFetch) return;
    QString line = run.ProgressText();
    if (model.Setup().PerScanChecked()) line = QStringLiteral("scan %1: %2").arg(run.ScansDone()).arg(line);
    if (line != printed) std::cout << line.toStdString() << std::endl;
    printed = line;
  };
  interrupts = 0;
  std::signal(SIGINT, OnInterrupt);
  QTimer interruptWatch;  // wakes the loop now and then to look at the count
  interruptWatch.start(100);

  model.OpenScanDialog();
  WaitFor([&] { return !model.WaitingForMeter(); });
  if (interrupts > 0) return interrupted(0);
  const int found = model.Devices().Count();
  if (found == 0) return fail("no scanner-capable meter found", kRefused);
  if (a.device > found)
    return fail(
        "--device " + std::to_string(a.device) + ": only " + std::to_string(found) + " scanner-capable meter(s) found",
        kRefused);
  model.ScanDeviceChosen(a.device - 1);
  WaitFor([&] { return !model.WaitingForMeter(); });
  if (interrupts > 0) return interrupted(0);
  const std::string name = model.Devices().Device(a.device - 1)->displayName;
  // A silent meter was reported by the dialog's own message.
  if (model.CardSilent()) return WithTranscriptChecked(instruments, kMeterStopped);
  if (!model.Ready())
    return fail(
        name + ": the scanner card reports no channels (\"Rout:state?\" answered \"" + model.CardState() + "\")",
        kRefused);
  if (!Configure(model, a, &error)) return fail(error, kRefused);
  if (a.until && model.Setup().SecondsUntil(ScanPicker::StopTime) < 0)
    return fail("the --until moment has passed", kRefused);
  std::cerr << "scanning on " << name << "\n";
  model.StartScan();
  if (!model.Run().Active()) return kRefused;  // refused: the dialog's message is on standard error
  RunToEnd(model);
  std::signal(SIGINT, SIG_DFL);

  PrintGrid(model.Grid());
  int rc = 0;
  const ScanRun::Ending ending = model.Run().LastEnding();
  if (ending == ScanRun::Ending::MeterSilent || ending == ScanRun::Ending::NoProgress) rc = kMeterStopped;
  if (model.Run().MissingReadings() > 0) {
    std::cerr << "merilog-cli: " << model.Run().MissingText().toStdString() << "\n";
    rc = kMeterStopped;
  }
  if (!a.xlsx.isEmpty() && model.Grid().HasResults()) {
    const auto before = prompter.shown.size();
    model.ExportToSpreadsheet();
    while (model.Exporting()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    if (prompter.shown.size() != before && rc == 0) rc = kRefused;
  }
  if (!a.csv.isEmpty() && model.Grid().HasResults()) {
    const GridFileResult csv = WriteScanCsv(a.csv, model.Grid().AllCells());
    if (!csv.written) rc = fail(csv.error.toStdString(), rc ? rc : kRefused);
  }
  if (interrupts > 0) {
    const int code = interrupted(model.Run().ScansKept());
    if (rc == 0) rc = code;
  }
  return WithTranscriptChecked(instruments, rc);
}

}  // namespace merilog::cli
