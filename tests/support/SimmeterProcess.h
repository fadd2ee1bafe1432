// merilog-simmeter as a child process on a free port, killed when the test ends.
#pragma once

#include <QProcess>
#include <QStringList>
#include <string>

namespace merilog::test {

constexpr int kProcessWaitMs = 10000;  // bound for a loaded machine; a passing test never waits it

class SimmeterProcess {
 public:
  explicit SimmeterProcess(const QStringList& args = {}) {
    process.setProgram(MERILOG_SIMMETER_PATH);
    process.setArguments(QStringList{"--port", "0"} + args);
    process.start();
    if (!process.waitForStarted(kProcessWaitMs)) return;
    while (!process.canReadLine())
      if (!process.waitForReadyRead(kProcessWaitMs)) return;
    const QByteArray line = process.readLine().trimmed();
    if (line.startsWith("port: ")) port = line.mid(6).toInt();
  }
  ~SimmeterProcess() { Kill(); }
  void Kill() {
    if (process.state() == QProcess::NotRunning) return;
    process.kill();
    process.waitForFinished(kProcessWaitMs);
  }
  std::string Resource() const { return "TCPIP0::127.0.0.1::" + std::to_string(port) + "::SOCKET"; }

  QProcess process;
  int port = 0;  // from the first line of standard output; 0 if it never came
};

}  // namespace merilog::test
