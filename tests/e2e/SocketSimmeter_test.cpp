// The socket backend against merilog-simmeter: real process, real sockets.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "core/instrument/QueryDevice.h"
#include "core/instrument/ResourceManager.h"
#include "support/SimmeterProcess.h"

namespace merilog {
namespace {

namespace st = status;

// A started meter, found and opened through the program's own backends.
struct Connected {
  explicit Connected(const QStringList& args = {}) : server(args) {
    EXPECT_NE(server.port, 0) << "merilog-simmeter did not start";
    ResourceManager rm;
    AddHardwareBackends(rm, {server.Resource()});
    EXPECT_EQ(rm.Find("TCPIP?*SOCKET"), std::vector<std::string>{server.Resource()});
    Status status = st::kErrorSystem;
    session = rm.Open(server.Resource(), &status);
    EXPECT_EQ(status, st::kSuccess);
  }
  std::string Query(const std::string& command) {
    return QueryDevice(session.get(), QueryForm::MainWindow, command).text;
  }
  test::SimmeterProcess server;
  std::unique_ptr<Session> session;
};

// Discovery, configuration and readings over LAN are the scan and burst
// command tests'; here the message forms the reading cycle sends.
TEST(SocketSimmeter, AnswersEndAtTheLineFeedAndBareMessagesAreWholeOnes) {
  Connected c({"--model", "6081"});
  ASSERT_TRUE(c.session);
  Session& s = *c.session;
  EXPECT_EQ(c.Query("CONF:CURR:DC\n"), "");
  EXPECT_EQ(c.Query("func?\n"), "CURR");

  // The pipelined "read?" of slow AC readings and the closing "*cls" go out bare.
  ASSERT_EQ(s.Write("read?"), st::kSuccess);
  const ReadResult r = s.Read(1024);
  EXPECT_EQ(r.status, st::kSuccess);
  EXPECT_TRUE(r.end);
  char* end = nullptr;
  std::strtod(r.bytes.c_str(), &end);
  EXPECT_EQ(std::string(end), "\n") << r.bytes;  // one whole number
  ASSERT_EQ(s.Write("*cls"), st::kSuccess);
  ASSERT_EQ(s.Write("func?\n"), st::kSuccess);
  EXPECT_EQ(s.Read(1024).bytes.front(), '"');  // the next answer is func?'s, nothing in between
}

// A process that ends is a lost connection, not a time-out (a server closing is
// the loopback test's).
TEST(SocketSimmeter, ServerEndingIsALostConnection) {
  Connected c;
  ASSERT_TRUE(c.session);
  c.session->SetTimeout(10000);
  c.session->Write("read?\n");
  EXPECT_EQ(c.session->Read(1024).status, st::kSuccess);
  c.server.Kill();
  c.session->Write("read?\n");  // may still be accepted by the kernel; the read tells
  EXPECT_EQ(c.session->Read(1024).status, st::kErrorConnectionLost);
}

}  // namespace
}  // namespace merilog
