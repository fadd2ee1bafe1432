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
#include "core/app/IoSetup.h"
#include "core/base/Clock.h"
#include "core/base/DocumentOpener.h"
#include "core/base/OutputTarget.h"
#include "core/scan/QtScanTimers.h"
#include "core/scan/ScanFunctionTable.h"
#include "core/scan/ScanGridFiles.h"
#include "core/scan/ScanModel.h"

namespace merilog::cli {

namespace {

std::atomic<bool> stopRequested{false};

void OnInterrupt(int) {
  stopRequested = true;
}

const QString kMomentFormat = QStringLiteral("yyyy/MM/dd HH:mm:ss");

// A headless run opens nothing: the file is where the command line said.
class NoOpener : public DocumentOpener {
 public:
  bool Open(const QString&) override { return true; }
};

struct ChannelArg {
  int channel = 0;  // from 1
  int function = kScanNone;
  std::optional<QString> shuntR, offset;
};

struct ScanArgs {
  int device = 1;
  std::vector<ChannelArg> channels;
  std::optional<QString> timer, count, scans;
  std::optional<QTime> every;
  std::optional<QDateTime> until, at;
  bool step = false;
  QString xlsx, csv;
};

std::optional<int> FunctionByLabel(const QString& label) {
  const auto table = ScanFunctionTable();
  for (int i = 0; i < kScanFunctionCount; ++i)
    if (label.compare(QLatin1String(table[static_cast<std::size_t>(i)].label), Qt::CaseInsensitive) == 0) return i;
  return std::nullopt;
}

bool ParseChannel(const QString& text, ChannelArg* out, std::string* error) {
  const auto eq = text.indexOf('=');
  bool ok = false;
  out->channel = eq > 0 ? text.left(eq).toInt(&ok) : 0;
  const QStringList parts = text.mid(eq + 1).split(':');
  const std::optional<int> function = FunctionByLabel(parts.value(0));
  if (!ok || out->channel < 1 || !function || parts.size() > 3) {
    *error = "--channel takes C=FUNC[:R[:I]] with FUNC one of None, DCV, ACV, DCI, ACI, Freq, 2W, 4W, not \"" +
             text.toStdString() + "\"";
    return false;
  }
  out->function = *function;
  if (parts.size() > 1) {
    if (!IsCurrentFunction(out->function)) {
      *error = "only a DCI or ACI channel takes R and I: \"" + text.toStdString() + "\"";
      return false;
    }
    out->shuntR = parts.value(1);
    if (parts.size() > 2) out->offset = parts.value(2);
  }
  return true;
}

bool ParseScanArgs(const QStringList& args, ScanArgs* out, std::string* error) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&]() -> std::optional<QString> {
      if (i + 1 >= args.size()) {
        *error = a.toStdString() + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    auto moment = [&](std::optional<QDateTime>* into) {
      const auto v = value();
      if (!v) return false;
      const QDateTime t = QDateTime::fromString(*v, kMomentFormat);
      if (!t.isValid()) return *error = a.toStdString() + " takes \"yyyy/MM/dd HH:mm:ss\"", false;
      *into = t;
      return true;
    };
    bool ok = true;
    if (a == "--device") {
      const auto v = value();
      if (!v) return false;
      out->device = v->toInt(&ok);
      if (!ok || out->device < 1) return *error = "--device takes a device-list line 1, 2, ...", false;
    } else if (a == "--channel") {
      const auto v = value();
      ChannelArg c;
      if (!v || !ParseChannel(*v, &c, error)) return false;
      out->channels.push_back(c);
    } else if (a == "--timer" || a == "--count" || a == "--scans") {
      const auto v = value();
      if (!v) return false;
      (a == "--timer" ? out->timer : a == "--count" ? out->count : out->scans) = *v;
    } else if (a == "--every") {
      const auto v = value();
      if (!v) return false;
      const QTime t = QTime::fromString(*v, QStringLiteral("HH:mm:ss"));
      if (!t.isValid()) return *error = "--every takes HH:MM:SS", false;
      out->every = t;
    } else if (a == "--until" || a == "--at") {
      if (!moment(a == "--until" ? &out->until : &out->at)) return false;
    } else if (a == "--step") {
      out->step = true;
    } else if (a == "--xlsx" || a == "--csv") {
      const auto v = value();
      if (!v) return false;
      (a == "--xlsx" ? out->xlsx : out->csv) = *v;
    } else {
      *error = "unknown scan option \"" + a.toStdString() + "\"";
      return false;
    }
  }
  if (out->count && (out->every || out->scans))
    return *error = "--count is for a plain scan: no --every or --scans", false;
  if (out->until && !out->every) return *error = "--until needs --every", false;
  if (out->until && out->scans) return *error = "--until and --scans exclude each other", false;
  return true;
}

// Runs the event loop until the condition holds or Ctrl-C is pressed.
void WaitFor(const std::function<bool()>& done) {
  while (!done() && !stopRequested) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

void PrintGrid(const ScanResultsGrid& grid) {
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
  for (const ChannelArg& c : a.channels) {
    if (c.channel > count) return *error = "the card has " + std::to_string(count) + " channels", false;
    if (c.function == kScan4W && c.channel > count / 2)
      return *error = "4W is for channels 1 to " + std::to_string(count / 2) + " (their pairs carry the sense leads)",
             false;
    model.ScanChannelChosen(c.channel - 1);
    model.ScanFunctionChosen(c.function);
    if (c.shuntR) model.ShuntREdited(*c.shuntR);
    if (c.offset) model.CurrentOffsetEdited(*c.offset);
  }
  for (const ChannelArg& c : a.channels)
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

}  // namespace

int RunScanCommand(const CliOptions& options, const QStringList& args) {
  auto fail = [](const std::string& why, int rc) {
    std::cerr << "merilog-cli: " << why << "\n";
    return rc;
  };
  ScanArgs a;
  std::string error;
  if (!ParseScanArgs(args, &a, &error)) return fail(error, 2);
  // A target that cannot take the file is refused before the meter is asked anything.
  for (const QString& target : {a.xlsx, a.xlsx.isEmpty() ? a.xlsx : SpreadsheetFileName(a.xlsx), a.csv}) {
    const QString problem = target.isEmpty() ? QString() : OutputTarget::Problem(target);
    if (!problem.isEmpty()) return fail(problem.toStdString(), 1);
  }
  Instruments instruments;
  if (!SetUpInstruments(options.io, &instruments, &error)) return fail(error, 1);
  CliPrompter prompter;
  prompter.saveName = a.xlsx;
  SystemClock clock;
  QtScanTimers timers;
  NoOpener opener;
  ScanModel model(*instruments.resources, instruments.lanResources, prompter, clock, timers, opener);
  QString progress;
  model.onChanged = [&] {
    // Each scan of a PerScan run shows its own progress, though it reads as the last one did.
    if (model.Run().CurrentPhase() == ScanRun::Phase::Configuring) progress.clear();
    const QString now = model.Run().ProgressText();
    if (now != progress && !now.isEmpty()) std::cout << now.toStdString() << std::endl;
    progress = now;
  };
  std::signal(SIGINT, OnInterrupt);
  QTimer interruptWatch;  // wakes the loop now and then to look at the flag
  interruptWatch.start(100);

  model.OpenScanDialog();
  WaitFor([&] { return !model.WaitingForMeter(); });
  if (stopRequested) return 1;
  const int found = model.Devices().Count();
  if (found == 0) return fail("no scanner-capable meter found", 1);
  if (a.device > found)
    return fail(
        "--device " + std::to_string(a.device) + ": only " + std::to_string(found) + " scanner-capable meter(s) found",
        1);
  model.ScanDeviceChosen(a.device - 1);
  WaitFor([&] { return !model.WaitingForMeter(); });
  const std::string name = model.Devices().Device(a.device - 1)->displayName;
  if (!model.Ready()) return fail(name + " has no scanner card that answers", 1);
  if (!Configure(model, a, &error)) return fail(error, 1);
  if (a.until && model.Setup().SecondsUntil(ScanPicker::StopTime) < 0) return fail("the --until moment has passed", 1);
  std::cerr << "scanning on " << name << "\n";
  model.StartScan();
  if (!model.Run().Active()) return 1;  // refused: the dialog's message is on standard error
  WaitFor([&] { return !model.Run().Active(); });
  if (stopRequested) model.Exit();
  std::signal(SIGINT, SIG_DFL);

  PrintGrid(model.Grid());
  int rc = 0;
  const ScanRun::Ending ending = model.Run().LastEnding();
  if (ending == ScanRun::Ending::MeterSilent || ending == ScanRun::Ending::NoProgress) rc = 2;
  if (!a.xlsx.isEmpty() && model.Grid().HasResults()) {
    const qsizetype before = prompter.shown.size();
    model.ExportToSpreadsheet();
    stopRequested = false;
    WaitFor([&] { return !model.Exporting(); });
    if (prompter.shown.size() != before && rc == 0) rc = 1;
  }
  if (!a.csv.isEmpty() && model.Grid().HasResults()) {
    const GridFileResult csv = WriteScanCsv(a.csv, model.Grid().AllCells());
    if (!csv.written) rc = fail(csv.error.toStdString(), rc ? rc : 1);
  }
  return rc;
}

}  // namespace merilog::cli
