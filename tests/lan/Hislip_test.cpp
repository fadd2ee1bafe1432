// The HiSLIP client and server: against the protocol's published message
// sequences written out byte for byte, and against each other on loopback.
#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <future>
#include <thread>

#include "core/instrument/HislipBackend.h"
#include "core/instrument/HislipMessage.h"
#include "core/instrument/LanSocket.h"
#include "core/instrument/QueryDevice.h"
#include "sim/SimNet.h"
#include "support/LoopbackMeter.h"

namespace merilog {
namespace {

namespace st = status;
using namespace std::string_literals;

std::string Bytes(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

// A peer that plays one side of a conversation over a blocking socket.
struct Peer {
  int fd;
  std::vector<std::string>* problems;
  void Expect(const std::string& what, const std::string& bytes) {
    std::string got(bytes.size(), '\0');
    Deadline d(10000);
    if (!IsSuccess(ReceiveExactly(fd, got.data(), got.size(), d, nullptr)) || got != bytes)
      problems->push_back(what + ": not the bytes expected");
  }
  void Send(const std::string& bytes) {
    Deadline d(10000);
    SendAll(fd, bytes, d, nullptr);
  }
};

int AcceptOne(int listenFd) {
  const int fd = ::accept4(listenFd, nullptr, nullptr, SOCK_CLOEXEC);
  return fd;
}

// Every message of synchronous mode the client sends, and the server's answers,
// as the protocol's published layout has them.
TEST(Hislip, TheClientSendsThePublishedMessagesByteForByte) {
  int port = 0;
  std::string error;
  const int listenFd = sim::ListenTcp("127.0.0.1", 0, &port, &error);
  ASSERT_GE(listenFd, 0) << error;
  std::vector<std::string> problems;
  std::thread server([&] {
    pollfd p{listenFd, POLLIN, 0};
    ::poll(&p, 1, 10000);
    Peer sync{AcceptOne(listenFd), &problems};
    // Initialize: version 1.0, vendor "ML", sub-address "hislip0".
    sync.Expect("Initialize", Bytes({'H', 'S', 0, 0, 0x01, 0x00, 'M', 'L', 0, 0, 0, 0, 0, 0, 0, 7}) + "hislip0");
    // InitializeResponse: synchronous mode, version 1.0, session id 42.
    sync.Send(Bytes({'H', 'S', 1, 0, 0x01, 0x00, 0x00, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0}));
    ::poll(&p, 1, 10000);
    Peer async{AcceptOne(listenFd), &problems};
    async.Expect("AsyncInitialize", Bytes({'H', 'S', 17, 0, 0, 0, 0, 0x2A, 0, 0, 0, 0, 0, 0, 0, 0}));
    async.Send(Bytes({'H', 'S', 18, 0, 0, 0, 'S', 'V', 0, 0, 0, 0, 0, 0, 0, 0}));
    async.Expect("AsyncMaxMsgSize",
                 Bytes({'H', 'S', 15, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0x10, 0, 0}));
    // The server takes 16 bytes at most: longer messages come in pieces.
    async.Send(Bytes({'H', 'S', 16, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 16}));
    sync.Expect("DataEnd", Bytes({'H', 'S', 7, 0, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0, 6}) + "*IDN?\n");
    // An answer in two pieces, Data then DataEnd, with the query's message id.
    sync.Send(Bytes({'H', 'S', 6, 0, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0, 4}) + "X,Y," +
              Bytes({'H', 'S', 7, 0, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0, 3}) + "Z,\n");
    // After a whole answer, the next message says RMT-delivered; ids go up by two.
    sync.Expect("Data", Bytes({'H', 'S', 6, 1, 0xFF, 0xFF, 0xFF, 0x02, 0, 0, 0, 0, 0, 0, 0, 16}) + "CONF:VOLT:AC;*ID");
    sync.Expect("DataEnd", Bytes({'H', 'S', 7, 0, 0xFF, 0xFF, 0xFF, 0x04, 0, 0, 0, 0, 0, 0, 0, 3}) + "N?\n");
    // A stale answer (of an id given up on) is dropped; then device clear.
    sync.Send(Bytes({'H', 'S', 7, 0, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0, 2}) + "?\n");
    sync.Send(Bytes({'H', 'S', 7, 0, 0xFF, 0xFF, 0xFF, 0x04, 0, 0, 0, 0, 0, 0, 0, 3}) + "ok\n");
    async.Expect("AsyncDeviceClear", Bytes({'H', 'S', 19, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    async.Send(Bytes({'H', 'S', 23, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    sync.Expect("DeviceClearComplete", Bytes({'H', 'S', 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    sync.Send(Bytes({'H', 'S', 9, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
    // Message ids start over after the clear.
    sync.Expect("DataEnd after clear",
                Bytes({'H', 'S', 7, 0, 0xFF, 0xFF, 0xFF, 0x00, 0, 0, 0, 0, 0, 0, 0, 5}) + "*CLS\n");
    ::close(sync.fd);
    ::close(async.fd);
  });

  HislipBackend backend({});
  Status status = st::kErrorSystem;
  auto session = backend.Open("TCPIP0::127.0.0.1::hislip0," + std::to_string(port) + "::INSTR", &status);
  ASSERT_EQ(status, st::kSuccess);
  ASSERT_EQ(session->Write("*IDN?\n"), st::kSuccess);
  const ReadResult answer = session->Read(1024);
  EXPECT_EQ(answer.bytes, "X,Y,Z,\n");
  EXPECT_TRUE(answer.end);
  ASSERT_EQ(session->Write("CONF:VOLT:AC;*IDN?\n"), st::kSuccess);
  EXPECT_EQ(session->Read(1024).bytes, "ok\n");
  EXPECT_EQ(session->Clear(), st::kSuccess);
  EXPECT_EQ(session->Write("*CLS\n"), st::kSuccess);
  server.join();
  ::close(listenFd);
  EXPECT_EQ(problems, std::vector<std::string>{});
}

TEST(Hislip, OurClientAndServerQueryClearAndAbort) {
  sim::SimFaults faults;
  faults.longAnswerBytes = 100000;
  test::LoopbackMeter s(test::LoopbackMeter::Protocol::Hislip, test::LoopbackMeter::WithFaults(faults));
  HislipBackend backend({});
  Status status = st::kErrorSystem;
  auto session = backend.Open(s.resource, &status);
  ASSERT_EQ(status, st::kSuccess);
  ASSERT_EQ(session->Write("*IDN?\n"), st::kSuccess);
  ReadResult r = session->Read(200000);
  EXPECT_TRUE(r.end);
  EXPECT_GE(r.bytes.size(), 100000u);
  EXPECT_EQ(r.bytes.rfind("MERISIM,MODEL 6082,", 0), 0u);

  // An unread answer goes with the device clear.
  ASSERT_EQ(session->Write("CONF:CURR:DC;func?\n"), st::kSuccess);
  EXPECT_EQ(session->Clear(), st::kSuccess);
  ASSERT_EQ(session->Write("*IDN?\n"), st::kSuccess);
  EXPECT_EQ(session->Read(200000).bytes.rfind("MERISIM", 0), 0u);

  // A query never answered: the read is cut short, the session goes on.
  session->SetTimeout(600000);
  ASSERT_EQ(session->Write("NOSUCH:QUERY?\n"), st::kSuccess);
  auto blocked = std::async(std::launch::async, [&] { return session->Read(1024); });
  session->Aborter()->Raise();
  EXPECT_EQ(blocked.get().status, st::kErrorAbort);
  ASSERT_EQ(session->Write("*IDN?\n"), st::kSuccess);
  EXPECT_EQ(session->Read(200000).bytes.rfind("MERISIM", 0), 0u);
}

// Misuse gets the error the protocol names for it: fatal ones end the connection.
TEST(Hislip, TheServerReportsFatalAndNonFatalErrorsAsWhatTheyAre) {
  test::LoopbackMeter s(test::LoopbackMeter::Protocol::Hislip);
  Status status = st::kSuccess;
  const auto receive = [](int fd) {
    hislip::Message m;
    Deadline d(10000);
    EXPECT_EQ(hislip::Receive(fd, &m, 1 << 20, d, nullptr), st::kSuccess);
    return m;
  };
  int sync = ConnectTcp("127.0.0.1", static_cast<std::uint16_t>(s.port), 5000, &status);
  Deadline d(10000);
  SendAll(sync, hislip::Encode(hislip::kInitialize, 0, 0x0100'4D4C, "hislip0"), d, nullptr);
  EXPECT_EQ(receive(sync).type, hislip::kInitializeResponse);
  SendAll(sync, hislip::Encode(hislip::kDataEnd, 0, hislip::kFirstMessageId, "*IDN?\n"), d, nullptr);
  const hislip::Message noAsync = receive(sync);
  EXPECT_EQ(noAsync.type, hislip::kFatalError);
  EXPECT_EQ(noAsync.control, hislip::kFatalChannelsNotEstablished);
  ::close(sync);

  int other = ConnectTcp("127.0.0.1", static_cast<std::uint16_t>(s.port), 5000, &status);
  SendAll(other, "XS" + std::string(14, '\0'), d, nullptr);
  const hislip::Message badHeader = receive(other);
  EXPECT_EQ(badHeader.type, hislip::kFatalError);
  EXPECT_EQ(badHeader.control, hislip::kFatalPoorlyFormedHeader);
  ::close(other);

  HislipBackend backend({});
  auto session = backend.Open(s.resource, &status);
  ASSERT_TRUE(session);
  EXPECT_FALSE(backend.Open("TCPIP0::127.0.0.1::inst0::INSTR", &status));
  EXPECT_EQ(status, st::kErrorInvalidResourceName);
}

}  // namespace
}  // namespace merilog
