#include "cli/LogCommand.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <iostream>
#include <optional>
#include <string>

#include "cli/CliLabServer.h"
#include "cli/CliPrompter.h"
#include "cli/IoCommands.h"
#include "core/app/IoSetup.h"
#include "core/base/Clock.h"
#include "core/base/ConfigurationCheck.h"
#include "core/base/MessageTable.h"
#include "core/base/Prompter.h"
#include "core/instrument/DeviceListModel.h"
#include "core/instrument/ExchangeSequence.h"
#include "core/measure/ReadingRun.h"
#include "core/readingconfig/UnattendedRun.h"

namespace merilog::cli {

namespace {

std::atomic<bool> interrupted{false};
// The window's reading speed at start-up.
constexpr int kDefaultIntervalMs = 25;

void OnInterrupt(int) {
  interrupted = true;
}

struct LogArgs {
  int record = 0;
  std::vector<int> lines{1};
  bool dual = false;
  long long count = -1;  // until Ctrl-C
  int interval = 0;      // 0: the window's 25 ms
  std::optional<bool> answer;
  bool keepGoing = false;
  UnattendedRun unattended;
  std::vector<QString> high, low;  // per meter, as given
};

// "--high 10" for every meter, "--high 10,,5" for each in --devices order (empty: none).
bool ParseLimits(const std::vector<QString>& texts, bool high, int meters, PositionLimits* limits,
                 std::string* error) {
  if (texts.empty()) return true;
  if (static_cast<int>(texts.size()) > meters) {
    *error = std::string(high ? "--high" : "--low") + " gives " + std::to_string(texts.size()) + " limits for " +
             std::to_string(meters) + " meters";
    return false;
  }
  for (int d = 0; d < meters; ++d) {
    const QString& text = texts.size() == 1 ? texts[0] : (d < static_cast<int>(texts.size()) ? texts[d] : QString());
    QString why;
    std::optional<double>& limit = high ? (*limits)[d].high : (*limits)[d].low;
    if (!ParseLimit(text, &limit, &why)) return *error = (high ? "--high: " : "--low: ") + why.toStdString(), false;
  }
  return true;
}

bool ParseLogArgs(const QStringList& args, LogArgs* out, std::string* error) {
  for (int i = 0; i < args.size(); ++i) {
    const QString& a = args[i];
    auto value = [&](const char* name) -> std::optional<QString> {
      if (i + 1 >= args.size()) {
        *error = std::string(name) + " needs a value";
        return std::nullopt;
      }
      return args[++i];
    };
    bool ok = true;
    if (a == "--record") {
      auto v = value("--record");
      if (!v) return false;
      out->record = v->toInt(&ok);
      if (!ok || out->record < kFirstRecordNumber || out->record > kLastRecordNumber)
        return *error = "--record takes 1 to 10", false;
    } else if (a == "--devices") {
      auto v = value("--devices");
      if (!v) return false;
      out->lines.clear();
      for (const QString& k : v->split(',')) {
        const int line = k.toInt(&ok);
        if (!ok || line < 1) return *error = "--devices takes device-list lines 1, 2, ...", false;
        out->lines.push_back(line);
      }
      if (out->lines.size() > 4) return *error = "--devices takes at most four meters", false;
    } else if (a == "--dual") {
      out->dual = true;
    } else if (a == "--count") {
      auto v = value("--count");
      if (!v) return false;
      out->count = v->toLongLong(&ok);
      if (!ok || out->count < 1) return *error = "--count takes a positive number", false;
    } else if (a == "--interval") {
      auto v = value("--interval");
      if (!v) return false;
      out->interval = v->toInt(&ok);
      if (!ok || out->interval < 1) return *error = "--interval takes milliseconds", false;
    } else if (a == "--keep-going") {
      out->keepGoing = true;
    } else if (a == "--for" || a == "--until") {
      auto v = value(a == "--for" ? "--for" : "--until");
      if (!v) return false;
      if (out->unattended.stop != UnattendedRun::Stop::WhenTold)
        return *error = "give --for or --until, once", false;
      QString why;
      if (a == "--for") {
        const auto ms = ParseRunDuration(*v, &why);
        if (!ms) return *error = "--for: " + why.toStdString(), false;
        out->unattended.stop = UnattendedRun::Stop::After;
        out->unattended.afterMs = *ms;
      } else {
        const auto at = ParseStopTime(*v, &why);
        if (!at) return *error = "--until: " + why.toStdString(), false;
        out->unattended.stop = UnattendedRun::Stop::At;
        out->unattended.at = *at;
      }
    } else if (a == "--high" || a == "--low") {
      auto v = value(a == "--high" ? "--high" : "--low");
      if (!v) return false;
      const QStringList parts = v->split(',');
      (a == "--high" ? out->high : out->low).assign(parts.begin(), parts.end());
    } else if (a == "--yes") {
      out->answer = true;
    } else if (a == "--no") {
      out->answer = false;
    } else {
      *error = "unknown log option \"" + a.toStdString() + "\"";
      return false;
    }
  }
  if (out->record == 0) return *error = "log needs --record N", false;
  const int meters = static_cast<int>(out->lines.size());
  if (!ParseLimits(out->high, true, meters, &out->unattended.limits, error) ||
      !ParseLimits(out->low, false, meters, &out->unattended.limits, error))
    return false;
  for (int d = 0; d < meters; ++d) {
    if (const QString wrong = CheckLimits(out->unattended.limits[d]); !wrong.isEmpty()) {
      *error = "meter " + std::to_string(d + 1) + ": " + wrong.toStdString();
      return false;
    }
  }
  // Meter k saves into record N + k - 1; no list shows a record beyond the last.
  const int last = out->record + static_cast<int>(out->lines.size()) - 1;
  if (last > kLastRecordNumber) {
    *error = "--record " + std::to_string(out->record) + " with " + std::to_string(out->lines.size()) +
             " meters would write record " + std::to_string(last) + "; records go up to " +
             std::to_string(kLastRecordNumber);
    return false;
  }
  return true;
}

// "12 of 40 readings from each meter into records 1 and 2".
std::string ProgressText(long long ticks, const LogArgs& la) {
  const size_t meters = la.lines.size();
  std::string records;
  for (size_t k = 0; k < meters; ++k) {
    if (k) records += k + 1 == meters ? " and " : ", ";
    records += std::to_string(la.record + static_cast<int>(k));
  }
  std::string text = std::to_string(ticks);
  if (la.count > 0) text += " of " + std::to_string(la.count);
  text += meters > 1 ? " readings from each meter into records " : " readings into record ";
  text += records;
  if (la.count <= 0) text += " (Ctrl-C stops)";
  return text;
}

}  // namespace

int RunLogCommand(const CliOptions& options, const QStringList& args) {
  LogArgs la;
  std::string error;
  if (!ParseLogArgs(args, &la, &error)) {
    std::cerr << "merilog-cli: " << error << "\n";
    return 2;
  }
  SystemClock clock;
  if (la.unattended.stop == UnattendedRun::Stop::At && la.unattended.at <= clock.Now()) {
    std::cerr << "merilog-cli: --until "
              << la.unattended.at.toString(QLatin1String(kStopTimeFormat)).toStdString() << " has passed already\n";
    return 2;
  }
  Instruments instruments;
  if (!SetUpInstruments(options.io, &instruments, &error)) {
    std::cerr << "merilog-cli: " << error << "\n";
    return 1;
  }
  CliPrompter prompter(la.answer);
  CheckConfigurationFile(prompter);
  CliLabServer labServer(options, prompter);
  DeviceListModel devices(*instruments.resources, instruments.lanResources);
  ExchangeSequence sequence;
  ReadingRun run(devices, prompter, clock, sequence);
  QTimer timer;
  timer.setTimerType(Qt::PreciseTimer);
  const bool toTerminal = isatty(STDOUT_FILENO) == 1;
  int exitCode = 0;
  long long ticks = 0;
  bool finished = false;
  // On a terminal a progress line stays below the readings: blanked before each
  // line of readings and written again after it; the last one stays as a summary.
  const bool progressLine = ::isatty(STDERR_FILENO);
  size_t progressWidth = 0;
  auto eraseProgress = [&] {
    if (progressWidth) std::cerr << '\r' << std::string(progressWidth, ' ') << '\r' << std::flush;
    progressWidth = 0;
  };

  // The run log: what happened, when and to which meter, on standard error.
  auto meterName = [&](int d) {
    const DeviceEntry* e = d < run.ActiveCount() ? devices.Entry(run.Slot(d)) : nullptr;
    return e ? e->displayName : "meter " + std::to_string(d + 1);
  };
  auto log = [&](const std::string& who, const QString& text) {
    std::cerr << clock.Now().toString(QStringLiteral("yyyy/MM/dd HH:mm:ss.zzz")).toStdString() << "  " << who << ": "
              << text.toStdString() << std::endl;
  };
  run.onEvent = [&](int d, const QString& text) { log(meterName(d), text); };

  auto deviceFailed = [&] {
    prompter.Message(LookupMessage(u"1001", "Check Device Connection"), "ERROR", Prompter::Icon::Stop,
                     Prompter::Buttons::Ok);
  };
  // Every way out: the run stopped, its records closed, and what was lost said.
  auto finish = [&](int code) {
    if (finished) return;
    finished = true;
    if (progressWidth) std::cerr << '\n';
    progressWidth = 0;
    timer.stop();
    const bool wasRunning = run.Active();
    run.Stop();
    if (wasRunning)
      for (int d = 0; d < run.ActiveCount(); ++d)
        if (const QString summary = run.EndSummary(d); !summary.isEmpty()) log(meterName(d), summary);
    const QString lost = run.RecordFailureText();
    if (!lost.isEmpty()) {
      prompter.Message(lost, "Error", Prompter::Icon::Exclamation, Prompter::Buttons::Ok);
      if (code == 0) code = 3;
    }
    if (run.LateTicks() > 0)
      std::cerr << "merilog-cli: " << run.LateTicks() << " ticks came while a meter was still answering\n";
    exitCode = code;
    std::cout.flush();
    QCoreApplication::exit(code);
  };
  run.onRecordFailure = [&] { finish(3); };

  // A tick applied, from the timer or the meters' own pacing.
  std::function<void(ReadingRun::TickOutcome)> ticked = [&](ReadingRun::TickOutcome outcome) {
    if (outcome == ReadingRun::TickOutcome::ReadFailed) {
      finish(2);
      deviceFailed();
      return;
    }
    if (outcome == ReadingRun::TickOutcome::RecordFailed) return finish(3);
    if (outcome == ReadingRun::TickOutcome::TimeUp) {
      log("run", "stopped at the planned time");
      return finish(0);
    }
    std::string line;
    for (int d = 0; d < run.ActiveCount(); ++d) {
      if (d) line += '\t';
      // A lost meter's last value is no reading of this tick.
      const bool lost = run.KeepGoing() && run.Lost(d);
      line += lost ? "LOST" : run.Texts(d).mainText;
      if (run.HasSecond(d)) line += '\t' + (lost ? std::string("LOST") : run.Texts(d).secondText);
    }
    eraseProgress();
    // Line by line to a terminal; into a file or a pipe the stream's buffer does, flushed at the end.
    std::cout << line << '\n';
    if (toTerminal) std::cout.flush();
    ++ticks;
    if (progressLine) {
      const std::string progress = ProgressText(ticks, la);
      std::cerr << progress << std::flush;
      progressWidth = progress.size();
    }
    if (la.count > 0 && ticks >= la.count) finish(0);
  };

  auto begin = [&] {
    const int count = devices.DeviceCount();
    for (int line : la.lines) {
      if (line > count) {
        std::cerr << "merilog-cli: no meter on line " << line << " (" << count << " found)\n";
        return finish(1);
      }
    }
    // The window's plan for the same choice: one meter is the current meter of
    // single-device mode; several are a multi-device set with the first line current.
    ReadingPlan plan;
    plan.multiDeviceMode = la.lines.size() > 1;
    plan.currentSlot = plan.multiDeviceMode ? devices.CurrentSlot() : la.lines[0] - 1;
    for (size_t k = 0; k < la.lines.size(); ++k) {
      plan.positionSlots.push_back(la.lines[k] - 1);
      plan.saveEnabled[k] = 1;
      plan.recordNumber[k] = la.record + static_cast<int>(k);
    }
    plan.keepGoing = la.keepGoing;
    la.unattended.ApplyTo(plan);
    run.Lock();
    run.Start(plan, [&](ReadingRun::StartOutcome started) {
      if (started == ReadingRun::StartOutcome::Running) {
        // The meters' threads keep the time where they can: a fast run then
        // costs no thread hand-over per reading.
        const int interval = la.interval > 0 ? la.interval : kDefaultIntervalMs;
        if (!run.Pace(interval, la.count > 0 ? la.count : 0, ticked)) timer.start(interval);
        if (run.StopTime().isValid())
          log("run", "stops at " + run.StopTime().toString(QLatin1String(kStopTimeFormat)));
        return;
      }
      finish(1);
      if (started == ReadingRun::StartOutcome::MeterFailed) deviceFailed();
    });
  };

  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (interrupted) return finish(0);
    run.Tick(ticked);
  });
  // Ctrl-C is noticed even while the timer is slow or a meter is silent.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (interrupted) finish(0);
  });
  poll.start(100);
  auto previous = std::signal(SIGINT, OnInterrupt);
  devices.Discover(begin);
  QCoreApplication::exec();
  std::signal(SIGINT, previous);
  labServer.Finish();
  return WithTranscriptChecked(instruments, exitCode);
}

}  // namespace merilog::cli
