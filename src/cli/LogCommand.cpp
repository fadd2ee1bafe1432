#include "cli/LogCommand.h"

#include <QCoreApplication>
#include <QTimer>
#include <atomic>
#include <csignal>
#include <iostream>
#include <optional>

#include "cli/IoCommands.h"
#include "core/base/Clock.h"
#include "core/base/ConfigPaths.h"
#include "core/app/MainWindowModel.h"
#include "core/base/Prompter.h"
#include "core/instrument/DeviceDiscovery.h"
#include "core/measure/ReadingSession.h"
#include "core/readingconfig/ReadingSettings.h"

namespace merilog::cli {

namespace {

std::atomic<bool> interrupted{false};

void OnInterrupt(int) { interrupted = true; }

// Shows every message box on standard error; a Yes/No question is answered by
// the command line, and refused when it gave no answer.
class PrintingPrompter : public Prompter {
 public:
  explicit PrintingPrompter(std::optional<bool> answer) : answer_(answer) {}
  Answer Message(const QString& text, const QString& caption, Icon, Buttons buttons) override {
    std::cerr << (caption.isEmpty() ? "" : caption.toStdString() + ": ") << text.toStdString() << "\n";
    if (buttons == Buttons::YesNo || buttons == Buttons::YesNoCancel) {
      if (!answer_) {
        std::cerr << "merilog-cli: no answer given (--yes or --no); not continuing\n";
        refused = true;
        return Answer::No;
      }
      std::cerr << (*answer_ ? "yes" : "no") << "\n";
      return *answer_ ? Answer::Yes : Answer::No;
    }
    return buttons == Buttons::Ok ? Answer::Ok : Answer::Cancel;
  }
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }
  bool refused = false;

 private:
  std::optional<bool> answer_;
};

class TimerView : public MainWindowObserver {
 public:
  TimerView(QTimer& timer, int intervalOverride) : timer_(timer), override_(intervalOverride) {}
  void StartReadingTimer(int ms) override { timer_.start(override_ > 0 ? override_ : ms); }
  void StopReadingTimer() override { timer_.stop(); }
  void RedrawChart() override {}
  void StateChanged() override {}

 private:
  QTimer& timer_;
  int override_;
};

struct LogArgs {
  int record = 0;
  std::vector<int> lines{1};
  bool dual = false;
  long long count = -1;  // until Ctrl-C
  int interval = 0;      // 0: the window's 25 ms
  std::optional<bool> answer;
};

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
      if (!ok || out->record < 1 || out->record > 10) return *error = "--record takes 1 to 10", false;
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
  return true;
}

}  // namespace

int RunLogCommand(const CliOptions& options, const QStringList& args) {
  LogArgs la;
  std::string error;
  if (!ParseLogArgs(args, &la, &error)) {
    std::cerr << "merilog-cli: " << error << "\n";
    return 2;
  }
  Instruments instruments;
  if (!SetUpInstruments(options.io, &instruments, &error)) {
    std::cerr << "merilog-cli: " << error << "\n";
    return 1;
  }
  PrintingPrompter prompter(la.answer);
  SystemClock clock;
  MainWindowModel model(*instruments.resources, prompter, clock, instruments.lanResources);
  QTimer timer;
  TimerView view(timer, la.interval);
  model.SetObserver(&view);
  model.Initialise();

  const int count = model.Devices().DeviceCount();
  for (int line : la.lines) {
    if (line > count) {
      std::cerr << "merilog-cli: no meter on line " << line << " (" << count << " found)\n";
      return WithTranscriptChecked(instruments, 1);
    }
  }
  ReadingSettings s = model.Settings();
  s.dualMeasure = la.dual ? 1 : 0;
  if (la.lines.size() == 1) {
    model.OnDeviceSelected(la.lines[0] - 1);
    s.mode = kSingleDeviceMode;
    s.saveEnabled[0] = 1;
    s.recordNumber[0] = la.record;
  } else {
    s.mode = kMultiDeviceMode;
    s.chosenDevice.clear();
    for (size_t k = 0; k < la.lines.size(); ++k) {
      const int slot = la.lines[k] - 1;
      s.chosenDevice.push_back({slot, model.Devices().Devices()[slot].displayName});
      s.saveEnabled[k] = 1;
      s.recordNumber[k] = la.record + static_cast<int>(k);
    }
    s.chosenCount = static_cast<int>(la.lines.size());
  }
  model.ApplyReadingSettings(s);

  model.StartReading();
  if (!model.State().readingActive) return WithTranscriptChecked(instruments, 1);

  int exitCode = 0;
  long long ticks = 0;
  auto previous = std::signal(SIGINT, OnInterrupt);
  QObject::connect(&timer, &QTimer::timeout, [&] {
    if (interrupted) {
      model.StopReading();
      QCoreApplication::exit(0);
      return;
    }
    model.OnReadingTimer();
    if (!model.State().readingActive) {
      exitCode = 2;
      QCoreApplication::exit(2);
      return;
    }
    std::string line;
    const auto& rows = model.Devices().State().meters;
    for (int d = 0; d < model.Session().ActiveCount(); ++d) {
      if (d) line += '\t';
      line += rows[d].valueText;
      if (model.State().secondActive && rows[d].hasSecond) line += '\t' + model.State().meterTexts[d].secondValueText;
    }
    std::cout << line << std::endl;
    if (la.count > 0 && ++ticks >= la.count) {
      model.StopReading();
      QCoreApplication::exit(0);
    }
  });
  // Ctrl-C is noticed even while the timer is slow.
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (interrupted && model.State().readingActive) {
      model.StopReading();
      QCoreApplication::exit(0);
    }
  });
  poll.start(100);
  const int loop = QCoreApplication::exec();
  std::signal(SIGINT, previous);
  return WithTranscriptChecked(instruments, exitCode ? exitCode : loop);
}

}  // namespace merilog::cli
