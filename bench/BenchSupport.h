#pragma once
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "core/app/MainWindowModel.h"
#include "core/base/Clock.h"
#include "core/base/Prompter.h"
#include "core/instrument/ResourceManager.h"
#include "core/readingconfig/ReadingSettings.h"
#include "sim/SimBackend.h"
#include "sim/SimBench.h"

namespace merilog::bench {

// CTest runs every benchmark with --quick: small sizes, so that one that no
// longer runs is noticed at once; its figures then mean nothing.
inline bool QuickRun(int argc, char** argv) {
  for (int i = 1; i < argc; ++i)
    if (std::strcmp(argv[i], "--quick") == 0) return true;
  return false;
}

// Answers every message box the same way, says what it was on standard error
// and counts it: a message means the measured run went wrong.
struct BenchPrompter : Prompter {
  explicit BenchPrompter(Answer a = Answer::Yes) : answer(a) {}
  Answer Message(const QString& text, const QString&, Icon, Buttons) override {
    ++messages;
    last = text;
    std::fprintf(stderr, "message: %s\n", qPrintable(text));
    return answer;
  }
  QString SaveFileName(const QString&, const QString&, const QString&) override { return {}; }
  std::optional<Rgb> ChooseColour(const Rgb&) override { return std::nullopt; }

  Answer answer;
  int messages = 0;
  QString last;
};

// What the kernel counted for a child process.
struct ChildUsage {
  bool ok = false;  // it exited with 0
  double wallMs = 0, cpuMs = 0;
  long switches = 0;  // voluntary and involuntary context switches, all threads
};

// Runs `work` in a child process; its return value is the child's exit code.
inline ChildUsage InChild(const std::function<int()>& work) {
  std::fflush(nullptr);
  QElapsedTimer t;
  t.start();
  const pid_t pid = fork();
  if (pid == 0) _exit(work());
  int status = 0;
  rusage usage{};
  if (pid < 0 || wait4(pid, &status, 0, &usage) != pid) return {};
  ChildUsage u;
  u.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  u.wallMs = t.nsecsElapsed() / 1e6;
  u.cpuMs =
      (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
  u.switches = usage.ru_nvcsw + usage.ru_nivcsw;
  return u;
}

// Runs a program in `dir` with its standard output into `output`.
inline ChildUsage RunProgram(const std::vector<std::string>& argv, const std::string& dir,
                             const std::string& output = "/dev/null") {
  return InChild([&] {
    if (chdir(dir.c_str()) != 0) return 120;
    const int fd = ::open(output.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    const int quiet = ::open("/dev/null", O_WRONLY);
    if (fd < 0 || dup2(fd, 1) < 0 || quiet < 0 || dup2(quiet, 2) < 0) return 121;
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    execvp(args[0], args.data());
    return 122;
  });
}

// merilog-simmeter on a port of its choosing; stopped when this goes out of scope.
class SimmeterProcess {
 public:
  explicit SimmeterProcess(const QStringList& extra = {}) {
    process_.setProgram(QStringLiteral(MERILOG_SIMMETER_PATH));
    process_.setArguments(QStringList{"--port", "0"} + extra);
    process_.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process_.start();
    if (!process_.waitForStarted(10000)) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const QByteArray line = process_.readLine().trimmed();
    if (line.startsWith("port: ")) port_ = line.mid(6).toInt();
    if (!extra.contains("--portmapper-port")) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const QByteArray next = process_.readLine().trimmed();
    if (next.startsWith("portmapper-port: ")) port_ = next.mid(17).toInt();  // what the client asks first
  }
  ~SimmeterProcess() {
    process_.terminate();
    if (!process_.waitForFinished(3000)) process_.kill();
    process_.waitForFinished(3000);
  }
  int Port() const { return port_; }

 private:
  QProcess process_;
  int port_ = 0;
};

// The main window's reading timer, without a window.
struct TimerView : MainWindowObserver {
  QTimer* timer = nullptr;
  void StartReadingTimer(int ms) override { timer->start(ms); }
  void StopReadingTimer() override { timer->stop(); }
  void RedrawChart() override {}
  void StateChanged() override {}
};

// Four simulated dual meters, on DC volts with AC volts as the 2ND function.
inline std::shared_ptr<sim::SimBench> FourDualMeters() {
  auto bench = std::make_shared<sim::SimBench>();
  for (int i = 1; i <= 4; ++i) {
    sim::SimMeterDescription s;
    s.resource = "USB0::0x3A7D::0x6082::SN0" + std::to_string(i) + "::INSTR";
    s.model = "6082";
    s.setup = {"CONF:VOLT:DC", "FUNC2 \"VOLT:AC\""};
    bench->Add(s);
  }
  return bench;
}

// Multi-device mode over the first four meters found, meter k saving into record k + 1.
inline ReadingSettings FourMetersSaving(const MainWindowModel& model) {
  ReadingSettings s;
  s.mode = kMultiDeviceMode;
  for (int k = 0; k < 4; ++k) {
    s.chosenDevice.push_back({k, model.Devices().Devices()[k].displayName});
    s.saveEnabled[k] = 1;
    s.recordNumber[k] = k + 1;
  }
  s.chosenCount = 4;
  return s;
}

// Waits until a model has nothing running. Some of what Idle() asks changes on
// other threads without an event (a worker ending, the record writer), so the
// loop also wakes every 2 ms to look again instead of sleeping for ever.
template <class Model>
void Settle(const Model& model) {
  QTimer wake;
  wake.start(2);
  while (!model.Idle()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

// Four simulated dual meters reading and saving (FourMetersSaving) in a
// temporary working folder, the current folder while this lives. Once Start
// has succeeded the run is going with its timer stopped: the caller drives the
// ticks.
struct FourMeterRun {
  // Counts what the window would draw: a tick has been applied when it moves.
  struct View : TimerView {
    int changes = 0;
    void StateChanged() override { ++changes; }
  };

  QTemporaryDir dir;
  struct Back {
    QString folder = QDir::currentPath();
    ~Back() { QDir::setCurrent(folder); }
  } back;
  ResourceManager rm;
  BenchPrompter prompter;
  SystemClock clock;
  QTimer timer;
  View view;
  std::unique_ptr<MainWindowModel> model;

  // `beforeSettings` runs once the meters are found, before the reading
  // settings are applied. False when the run did not start.
  bool Start(const std::function<void(MainWindowModel&)>& beforeSettings = {}) {
    QDir(dir.path()).mkdir("DB");
    QDir::setCurrent(dir.path());
    rm.AddBackend(std::make_unique<sim::SimBackend>(FourDualMeters()));
    view.timer = &timer;
    model = std::make_unique<MainWindowModel>(rm, prompter, clock);
    model->SetObserver(&view);
    // Initialise starts the discovery; the meters are there once it has finished.
    model->Initialise();
    Settle(*model);
    if (model->Devices().Devices().size() < 4) {
      std::fprintf(stderr, "%zu meters found\n", model->Devices().Devices().size());
      return false;
    }
    if (beforeSettings) beforeSettings(*model);
    model->ApplyReadingSettings(FourMetersSaving(*model));
    model->StartReading();
    Settle(*model);
    if (!model->ReadingActive()) return false;
    timer.stop();
    return true;
  }
};

// Runs the model's reading timer for real at 25 ms, `ticks` ticks and one more;
// `before(n)` runs before tick n (from 0).
inline bool RunRealTicks(QTimer& timer, MainWindowModel& model, int ticks, const std::function<void(int)>& before) {
  int n = 0;
  QObject::connect(&timer, &QTimer::timeout, [&] {
    before(n);
    model.OnReadingTimer();
    if (++n > ticks) {
      timer.stop();
      QCoreApplication::quit();
    }
  });
  // A run that stops by itself (its timer stopped by the model) ends the wait instead of holding it for ever.
  QTimer watchdog;
  watchdog.setSingleShot(true);
  QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::quit(); });
  watchdog.start(ticks * 25 * 4 + 10000);
  timer.setTimerType(Qt::PreciseTimer);
  timer.start(25);
  QCoreApplication::exec();
  timer.stop();
  if (n <= ticks) std::fprintf(stderr, "the run stopped after %d of %d ticks\n", n, ticks);
  return n > ticks;
}

}  // namespace merilog::bench
