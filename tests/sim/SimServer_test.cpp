// merilog-simmeter end to end: a child process, a real socket, a signal to stop it.
#include <gtest/gtest.h>

#include <QTcpSocket>

#include "support/SimmeterProcess.h"
#include "support/TestSupport.h"

namespace {

using merilog::test::SimmeterProcess;
constexpr int kWaitMs = merilog::test::kProcessWaitMs;

class Client {
 public:
  bool Connect(int port) {
    socket.connectToHost("127.0.0.1", static_cast<quint16>(port));
    return socket.waitForConnected(kWaitMs);
  }
  void Send(const QByteArray& line) {
    socket.write(line);
    socket.waitForBytesWritten(kWaitMs);
  }
  // One answer line, or an empty array when none comes.
  QByteArray Answer() {
    while (!socket.canReadLine())
      if (!socket.waitForReadyRead(kWaitMs)) return {};
    return socket.readLine();
  }
  QTcpSocket socket;
};

TEST(SimServerTest, ServesQueriesToOneClientAfterAnotherAndStopsOnSigterm) {
  SimmeterProcess server({"--model", "6081"});
  const int port = server.port;
  ASSERT_GT(port, 0);
  {
    Client a;
    ASSERT_TRUE(a.Connect(port));
    a.Send("*IDN?\nCONF:VOLT:AC\nfunc?\n");
    EXPECT_EQ(a.Answer(), "MERISIM,MODEL 6081,SN01,1.02\n");
    EXPECT_EQ(a.Answer(), "\"VOLT:AC\"\n");
    a.socket.disconnectFromHost();
  }
  {
    Client b;  // the meter kept its state for the next client
    ASSERT_TRUE(b.Connect(port));
    b.Send("func?\r\n");
    EXPECT_EQ(b.Answer(), "\"VOLT:AC\"\n");
    // A burst of queries comes back in order.
    b.Send("*IDN?\nread?\nSYST:ERR?\n");
    EXPECT_TRUE(b.Answer().startsWith("MERISIM,"));
    EXPECT_FALSE(b.Answer().isEmpty());
    EXPECT_EQ(b.Answer(), "+0,\"No error\"\n");
  }
  server.process.terminate();  // SIGTERM
  ASSERT_TRUE(server.process.waitForFinished(kWaitMs));
  EXPECT_EQ(server.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server.process.exitCode(), 0);
}

TEST(SimServerTest, BenchFileMeterAndTranscript) {
  merilog::test::TempFolder dir;
  const QString transcript = dir.File("wire.txt");
  SimmeterProcess server({"--bench", QString(MERILOG_SOURCE_DATA_DIR) + "/bench-example.ini", "--resource",
                          "USB0::0x3A7E::0x7700::SN04::INSTR", "--transcript", transcript});
  const int port = server.port;
  ASSERT_GT(port, 0);
  Client c;
  ASSERT_TRUE(c.Connect(port));
  c.Send("Rout:state?\n");
  EXPECT_EQ(c.Answer(), "20\n");
  c.socket.disconnectFromHost();
  server.process.terminate();
  ASSERT_TRUE(server.process.waitForFinished(kWaitMs));
  EXPECT_EQ(server.process.exitCode(), 0);
  QFile file(transcript);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  const QString text = QString::fromUtf8(file.readAll());
  EXPECT_TRUE(text.contains("-> \"Rout:state?\\n\"")) << text.toStdString();
  EXPECT_TRUE(text.contains("<- \"20\\n\"")) << text.toStdString();
}

TEST(SimServerTest, BadCommandLinesAreRefused) {
  QString out, err;
  EXPECT_EQ(merilog::test::RunProgram(MERILOG_SIMMETER_PATH, {"--model", "6082"}, &out, &err), 2);
  EXPECT_TRUE(err.contains("--port is required"));
  EXPECT_EQ(merilog::test::RunProgram(MERILOG_SIMMETER_PATH, {"--port", "0", "--model", "9000"}, &out, &err), 2);
  EXPECT_TRUE(err.contains("unknown model \"9000\""));
  EXPECT_EQ(merilog::test::RunProgram(MERILOG_SIMMETER_PATH, {"--port", "0", "--bind", "localhost"}, &out, &err), 1);
  EXPECT_TRUE(err.contains("not an IPv4 address"));
  EXPECT_TRUE(out.isEmpty());
}

}  // namespace
