#pragma once
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>

#include "core/app/MainWindowModel.h"
#include "core/base/Prompter.h"

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

}  // namespace merilog::bench
