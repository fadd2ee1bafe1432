// The socket backend against merilog-simmeter: real process, real sockets.
#include <gtest/gtest.h>

#include <QProcess>
#include <chrono>
#include <cstdlib>
#include <string>

#include "core/instrument/DeviceEntry.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceManager.h"
#include "core/instrument/TcpSocketBackend.h"

namespace merilog {
namespace {

namespace st = status;

// merilog-simmeter on a free port, stopped when the test ends.
class Simmeter {
 public:
  explicit Simmeter(QStringList extra = {}) {
    process_.setProgram(QStringLiteral(MERILOG_SIMMETER_PATH));
    process_.setArguments(QStringList{"--port", "0"} + extra);
    process_.start();
    if (!process_.waitForStarted(10000)) return;
    while (!process_.canReadLine() && process_.waitForReadyRead(10000)) {
    }
    const QByteArray line = process_.readLine().trimmed();
    if (line.startsWith("port: ")) port_ = line.mid(6).toInt();
  }
  ~Simmeter() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  void Kill() {
    process_.kill();
    process_.waitForFinished(5000);
  }
  int Port() const { return port_; }
  std::string Resource() const { return "TCPIP0::127.0.0.1::" + std::to_string(port_) + "::SOCKET"; }

  std::unique_ptr<Session> Connect() const {
    TcpSocketBackend backend({Resource()});
    Status status = st::kErrorSystem;
    auto s = backend.Open(Resource(), &status);
    EXPECT_EQ(status, st::kSuccess);
    return s;
  }

 private:
  QProcess process_;
  int port_ = 0;
};

TEST(SocketSimmeter, IdentifiesConfiguresAndReads) {
  Simmeter server({"--model", "6081"});
  ASSERT_NE(server.Port(), 0) << "merilog-simmeter did not start";
  auto s = server.Connect();
  ASSERT_TRUE(s);

  ASSERT_EQ(s->Write("*IDN?\n"), st::kSuccess);
  ReadResult r = s->Read(1024);
  EXPECT_EQ(r.status, st::kSuccess);
  EXPECT_TRUE(r.end);
  EXPECT_NE(r.bytes.find(",MODEL 6081,"), std::string::npos) << r.bytes;
  EXPECT_EQ(r.bytes.back(), '\n');

  // Through the main window's query form, as discovery and the acquisition cycle use it.
  DeviceQuery q(QueryForm::MainWindow);
  q.SetSessions({s.get()});
  q.SetSlotMap({0});
  const std::string id = q.Query(0, "*IDN?\n");
  EXPECT_EQ(MakeDeviceDisplayName(id, server.Resource()), "MODEL 6081-LAN-127.0.0.1");
  EXPECT_EQ(q.Query(0, "CONF:CURR:DC\n"), "");
  EXPECT_EQ(q.Query(0, "func?\n"), "CURR");
  EXPECT_EQ(q.Query(0, "CONF:VOLT:DC\n"), "");
  s->Write("func?\n");
  EXPECT_EQ(s->Read(1024).bytes, "\"VOLT\"\n");  // the raw answer keeps its quotes and line feed

  for (int i = 0; i < 3; ++i) {
    const std::string value = q.Query(0, "read?\n");
    char* end = nullptr;
    std::strtod(value.c_str(), &end);
    EXPECT_FALSE(value.empty());
    EXPECT_EQ(*end, '\0') << value;  // one whole number, nothing left of another answer
  }
  EXPECT_EQ(q.ConnectionFlag(), 1);
}

TEST(SocketSimmeter, CommandsWrittenWithoutLineFeedStillReachTheMeter) {
  Simmeter server({"--model", "6082"});
  ASSERT_NE(server.Port(), 0);
  auto s = server.Connect();
  ASSERT_TRUE(s);
  // The pipelined "read?" of slow AC readings and the closing "*cls" go out bare.
  ASSERT_EQ(s->Write("read?"), st::kSuccess);
  ReadResult r = s->Read(1024);
  EXPECT_EQ(r.status, st::kSuccess);
  EXPECT_TRUE(r.end);
  ASSERT_EQ(s->Write("*cls"), st::kSuccess);
  ASSERT_EQ(s->Write("func?\n"), st::kSuccess);
  EXPECT_EQ(s->Read(1024).bytes.front(), '"');  // the next answer is func?'s, nothing in between
}

TEST(SocketSimmeter, LongAnswerIsReadWholeInPieces) {
  Simmeter server({"--fault", "long-answer=5000"});
  ASSERT_NE(server.Port(), 0);
  auto s = server.Connect();
  ASSERT_TRUE(s);
  s->Write("read?\n");
  const ReadResult first = s->Read(1024);
  EXPECT_EQ(first.status, st::kSuccessMaxCount);
  EXPECT_EQ(first.bytes.size(), 1024u);
  const ReadResult rest = ReadAnswer(*s);
  EXPECT_TRUE(IsSuccess(rest.status));
  EXPECT_TRUE(rest.end);
  EXPECT_GE(first.bytes.size() + rest.bytes.size(), 5000u);
  EXPECT_EQ(rest.bytes.back(), '\n');
  EXPECT_EQ(rest.bytes.find('\n'), rest.bytes.size() - 1);
}

TEST(SocketSimmeter, SilentMeterTimesOut) {
  Simmeter server({"--fault", "silent-after=1"});
  ASSERT_NE(server.Port(), 0);
  auto s = server.Connect();
  ASSERT_TRUE(s);
  s->SetTimeout(150);
  DeviceQuery q(QueryForm::MainWindow);
  q.SetSessions({s.get()});
  q.SetSlotMap({0});
  EXPECT_FALSE(q.Query(0, "read?\n").empty());
  EXPECT_EQ(q.Query(0, "read?\n"), "");
  EXPECT_EQ(q.LastStatus(), st::kErrorTimeout);
  EXPECT_EQ(q.ConnectionFlag(), 0);
}

TEST(SocketSimmeter, ServerClosingIsALostConnectionNotATimeOut) {
  Simmeter server({"--fault", "close-after=1"});
  ASSERT_NE(server.Port(), 0);
  auto s = server.Connect();
  ASSERT_TRUE(s);
  s->SetTimeout(10000);
  s->Write("read?\n");
  EXPECT_EQ(s->Read(1024).status, st::kSuccess);
  s->Write("read?\n");
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(s->Read(1024).status, st::kErrorConnectionLost);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(5));
}

TEST(SocketSimmeter, ServerProcessEndingIsALostConnection) {
  Simmeter server;
  ASSERT_NE(server.Port(), 0);
  auto s = server.Connect();
  ASSERT_TRUE(s);
  s->SetTimeout(10000);
  s->Write("*IDN?\n");
  EXPECT_EQ(s->Read(1024).status, st::kSuccess);
  server.Kill();
  s->Write("read?\n");  // may still be accepted by the kernel; the read tells
  EXPECT_EQ(s->Read(1024).status, st::kErrorConnectionLost);
}

TEST(SocketSimmeter, FoundAndOpenedThroughTheResourceManager) {
  Simmeter server;
  ASSERT_NE(server.Port(), 0);
  ResourceManager rm;
  AddHardwareBackends(rm, {server.Resource()});
  EXPECT_EQ(rm.Find("TCPIP?*SOCKET"), std::vector<std::string>{server.Resource()});
  Status status = st::kErrorSystem;
  auto s = rm.Open(server.Resource(), &status);
  ASSERT_TRUE(s);
  EXPECT_EQ(status, st::kSuccess);
  s->Write("*IDN?\n");
  EXPECT_NE(s->Read(1024).bytes.find("MODEL 6082"), std::string::npos);
}

}  // namespace
}  // namespace merilog
