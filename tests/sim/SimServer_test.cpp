// merilog-simmeter end to end: a child process, a real socket, a signal to stop it.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <QElapsedTimer>
#include <QTcpSocket>
#include <QThread>
#include <cerrno>
#include <string>

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

// A raw connection that sends queries and never reads an answer, until the
// server stops taking them (its answers have filled every buffer on the way).
int ConnectAndFloodWithoutReading(int port) {
  const int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_port = htons(static_cast<std::uint16_t>(port));
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0) return -1;
  std::string queries;
  for (int i = 0; i < 4096; ++i) queries += "*IDN?\n";
  for (std::size_t total = 0; total < (256u << 20);) {
    pollfd p{fd, POLLOUT, 0};
    if (poll(&p, 1, 200) <= 0) break;  // the server has stopped reading
    const ssize_t n = send(fd, queries.data(), queries.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
    if (n < 0 && errno != EAGAIN) break;
    if (n > 0) total += static_cast<std::size_t>(n);
  }
  return fd;
}

// Clients one after another share the meter's state; one that floods without
// reading and one idle do not keep a third from being answered; SIGTERM stops
// the server while its answers to the first cannot be sent.
TEST(SimServerTest, ClientsAreServedSideBySideAndSigtermStopsTheServer) {
  SimmeterProcess server({"--model", "6081"});
  ASSERT_GT(server.port, 0);
  {
    Client a;
    ASSERT_TRUE(a.Connect(server.port));
    a.Send("*IDN?\nCONF:VOLT:AC\nfunc?\n");
    EXPECT_EQ(a.Answer(), "MERISIM,MODEL 6081,SN01,1.02\n");
    EXPECT_EQ(a.Answer(), "\"VOLT:AC\"\n");
  }
  const int flood = ConnectAndFloodWithoutReading(server.port);
  ASSERT_GE(flood, 0);
  Client idle;
  ASSERT_TRUE(idle.Connect(server.port));
  Client c;
  ASSERT_TRUE(c.Connect(server.port));
  c.Send("func?\r\n*IDN?\nread?\nSYST:ERR?\n");  // a burst comes back in order
  EXPECT_EQ(c.Answer(), "\"VOLT:AC\"\n");
  EXPECT_TRUE(c.Answer().startsWith("MERISIM,"));
  EXPECT_FALSE(c.Answer().isEmpty());
  EXPECT_EQ(c.Answer(), "+0,\"No error\"\n");
  idle.Send("func?\n");
  EXPECT_EQ(idle.Answer(), "\"VOLT:AC\"\n");

  server.process.terminate();  // SIGTERM
  EXPECT_TRUE(server.process.waitForFinished(kWaitMs));
  EXPECT_EQ(server.process.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(server.process.exitCode(), 0);
  close(flood);
}

// The transcript's lines are the transcript session test's; here it is written at all.
TEST(SimServerTest, BenchFileMeterAndTranscript) {
  merilog::test::TempFolder dir;
  const QString transcript = dir.File("wire.txt");
  SimmeterProcess server({"--bench", QString(MERILOG_SOURCE_DATA_DIR) + "/bench-example.ini", "--resource",
                          "USB0::0x3A7E::0x7700::SN04::INSTR", "--transcript", transcript});
  ASSERT_GT(server.port, 0);
  Client c;
  ASSERT_TRUE(c.Connect(server.port));
  c.Send("Rout:state?\n");
  EXPECT_EQ(c.Answer(), "20\n");
  server.process.terminate();  // lets the answer's line be written
  ASSERT_TRUE(server.process.waitForFinished(kWaitMs));
  QFile file(transcript);
  ASSERT_TRUE(file.open(QIODevice::ReadOnly));
  EXPECT_TRUE(file.readAll().contains("<- \"20\\n\""));
}

// vanish-after: the connection closes after the third command, new ones are
// refused while the meter is away, and it serves again with the same identification.
TEST(SimServerTest, VanishClosesRefusesAndComesBack) {
  SimmeterProcess server({"--model", "6081", "--fault", "vanish-after=3", "--fault", "back-after-ms=2000"});
  ASSERT_GT(server.port, 0);
  Client a;
  ASSERT_TRUE(a.Connect(server.port));
  a.Send("*IDN?\n");
  const QByteArray idn = a.Answer();
  a.Send("func?\nread?\n");
  EXPECT_EQ(a.Answer(), "\"VOLT\"\n");
  EXPECT_TRUE(a.Answer().isEmpty());  // the third answer went with the meter
  EXPECT_EQ(a.socket.state(), QAbstractSocket::UnconnectedState);
  Client refused;
  EXPECT_FALSE(refused.Connect(server.port));
  EXPECT_EQ(refused.socket.error(), QAbstractSocket::ConnectionRefusedError);
  // Back after its time: bounded by the process wait, never a fixed sleep.
  Client b;
  QElapsedTimer waited;
  waited.start();
  while (!b.Connect(server.port) && waited.elapsed() < kWaitMs) {
    b.socket.abort();
    QThread::msleep(50);  // a retry's pace, not a time-out waited for
  }
  ASSERT_EQ(b.socket.state(), QAbstractSocket::ConnectedState);
  b.Send("*IDN?\n");
  EXPECT_EQ(b.Answer(), idn);
}

TEST(SimServerTest, BadCommandLinesAreRefused) {
  QString out, err;
  EXPECT_EQ(merilog::test::RunProgram(MERILOG_SIMMETER_PATH, {"--port", "0", "--bind", "localhost"}, &out, &err), 1);
  EXPECT_TRUE(err.contains("not an IPv4 address"));
  EXPECT_TRUE(out.isEmpty());
}

}  // namespace
