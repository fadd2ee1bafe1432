#include "core/instrument/TcpSocketBackend.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <string>
#include <thread>
#include <tuple>

#include "core/instrument/QueryDevice.h"
#include "core/instrument/TcpSocketSession.h"

namespace merilog {
namespace {

namespace st = status;

// A socket bound to a free port of 127.0.0.1, and that port's resource name.
int BoundSocket(std::string* resource) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in a{};
  a.sin_family = AF_INET;
  a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof a;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&a), len) != 0 ||
      ::getsockname(fd, reinterpret_cast<sockaddr*>(&a), &len) != 0)
    ADD_FAILURE() << "cannot bind on 127.0.0.1";
  *resource = "TCPIP0::127.0.0.1::" + std::to_string(ntohs(a.sin_port)) + "::SOCKET";
  return fd;
}

// A one-connection server on 127.0.0.1 that plays a script against the client.
// Every blocking step is bounded, so a broken client cannot hang the test.
class LoopbackServer {
 public:
  explicit LoopbackServer(std::function<void(int)> script) : listen_(BoundSocket(&resource_)) {
    if (::listen(listen_, 1) != 0) ADD_FAILURE() << "cannot listen on 127.0.0.1";
    thread_ = std::thread([this, script = std::move(script)] {
      pollfd p{listen_, POLLIN, 0};
      if (::poll(&p, 1, 5000) <= 0) return;
      const int fd = ::accept(listen_, nullptr, nullptr);
      if (fd < 0) return;
      timeval tv{5, 0};
      ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
      script(fd);
      ::close(fd);
    });
  }
  ~LoopbackServer() {
    thread_.join();
    ::close(listen_);
  }
  const std::string& Resource() const { return resource_; }

 private:
  std::string resource_;
  int listen_ = -1;
  std::thread thread_;
};

std::string ReadLine(int fd) {
  std::string line;
  char c;
  while (::recv(fd, &c, 1, 0) == 1) {
    line += c;
    if (c == '\n') break;
  }
  return line;
}

void Send(int fd, const std::string& s) {
  ASSERT_EQ(::send(fd, s.data(), s.size(), MSG_NOSIGNAL), (ssize_t)s.size());
}

std::unique_ptr<Session> Connect(const LoopbackServer& server) {
  TcpSocketBackend backend({});
  Status status = st::kErrorSystem;
  auto s = backend.Open(server.Resource(), &status);
  EXPECT_EQ(status, st::kSuccess);
  return s;
}

// Surplus after a line feed waits for the next read; a long answer comes in
// pieces until its end, and one of exactly three pieces ends with the third.
TEST(TcpSocketBackend, AnswersEndAtLineFeedsInPiecesAndSurplusWaitsForTheNextRead) {
  const std::string answer = std::string(4999, 'x') + "\n";
  const std::string three = std::string(3071, 'y') + "\n";
  LoopbackServer server([&](int fd) {
    if (ReadLine(fd) == "*IDN?\n") Send(fd, "+1.0E+00\n+2.0E+00\n+3.0");
    ReadLine(fd);  // the client asks for the rest of the third answer
    Send(fd, "E+00\n");
    ReadLine(fd);
    Send(fd, answer);
    ReadLine(fd);
    Send(fd, three);
  });
  auto s = Connect(server);
  ASSERT_TRUE(s);
  EXPECT_EQ(s->Write("*IDN?\n"), st::kSuccess);
  EXPECT_EQ(s->Read(1024).bytes, "+1.0E+00\n");
  const ReadResult second = s->Read(1024);
  EXPECT_EQ(second.status, st::kSuccess);
  EXPECT_EQ(second.bytes, "+2.0E+00\n");
  EXPECT_TRUE(second.end);
  s->Write("more\n");
  EXPECT_EQ(s->Read(1024).bytes, "+3.0E+00\n");

  s->Write("data?\n");
  std::string all;
  for (int i = 0; i < 4; ++i) {
    const ReadResult piece = s->Read(1024);
    EXPECT_EQ(piece.status, st::kSuccessMaxCount) << i;
    EXPECT_FALSE(piece.end);
    all += piece.bytes;
  }
  const ReadResult last = s->Read(1024);
  EXPECT_EQ(last.status, st::kSuccess);
  EXPECT_TRUE(last.end);
  EXPECT_EQ(all + last.bytes, answer);
  s->Write("data?\n");
  const ReadResult r = ReadAnswer(*s);
  EXPECT_TRUE(IsSuccess(r.status));
  EXPECT_EQ(r.bytes, three);
}

TEST(TcpSocketBackend, SilentServerTimesOutAndSessionStaysUsable) {
  LoopbackServer server([](int fd) {
    ReadLine(fd);  // no answer at all
    ReadLine(fd);
    Send(fd, "+1.2");  // half an answer, then silence
    ReadLine(fd);
    Send(fd, "+4.5E+00\n");
  });
  auto s = Connect(server);
  ASSERT_TRUE(s);
  // A zero time-out only takes what has arrived: nothing, at once (asked while
  // the server still waits, so the connection cannot have ended).
  EXPECT_EQ(s->SetTimeout(0), st::kSuccess);
  EXPECT_EQ(s->Read(1024).status, st::kErrorTimeout);
  EXPECT_EQ(s->SetTimeout(150), st::kSuccess);
  for (const char* expected : {"", "+1.2"}) {
    s->Write("read?\n");
    const ReadResult late = s->Read(1024);
    EXPECT_EQ(late.status, st::kErrorTimeout);
    EXPECT_EQ(late.bytes, expected);  // handed over with the time-out, not left for the next answer
  }
  s->Write("read?\n");
  const ReadResult next = s->Read(1024);
  EXPECT_EQ(next.status, st::kSuccess);
  EXPECT_EQ(next.bytes, "+4.5E+00\n");
}

// The peer hanging up is a lost connection at once, not a time-out; an unterminated
// last answer ends at the close.
TEST(TcpSocketBackend, PeerClosingIsALostConnection) {
  for (const std::string last : {"", "BYE"}) {
    LoopbackServer server([&](int fd) {
      ReadLine(fd);
      if (!last.empty()) Send(fd, last);
    });
    auto s = Connect(server);
    ASSERT_TRUE(s);
    s->SetTimeout(10000);
    s->Write("read?\n");
    if (!last.empty()) {
      const ReadResult r = s->Read(1024);
      EXPECT_EQ(r.status, st::kSuccess);
      EXPECT_TRUE(r.end);
      EXPECT_EQ(r.bytes, last);
    }
    EXPECT_EQ(s->Read(1024).status, st::kErrorConnectionLost);
    EXPECT_EQ(s->Read(1024).status, st::kErrorConnectionLost);  // and stays so
  }
}

TEST(TcpSocketBackend, ClearDiscardsBufferedAndPendingInputCloseEndsTheSession) {
  LoopbackServer server([](int fd) {
    ReadLine(fd);
    Send(fd, "first\nstale one\n");
    Send(fd, "stale two\n");
    ReadLine(fd);  // sent by the client after Clear
    Send(fd, "fresh\n");
  });
  auto s = Connect(server);
  ASSERT_TRUE(s);
  s->Write("q?\n");
  EXPECT_EQ(s->Read(1024).bytes, "first\n");
  std::this_thread::sleep_for(std::chrono::milliseconds(20));  // let "stale two" reach the kernel buffer
  EXPECT_EQ(s->Clear(), st::kSuccess);
  s->Write("q?\n");
  EXPECT_EQ(s->Read(1024).bytes, "fresh\n");
  EXPECT_EQ(s->Close(), st::kSuccess);
  EXPECT_EQ(s->Read(10).status, st::kErrorInvalidObject);
}

TEST(TcpSocketBackend, ParsesResourcesListsOnlyWellFormedGivenOnesAndRefusesBadOrDeadOnes) {
  for (const auto& [resource, board, host, port] : {std::tuple{"tcpip3::meter.lab::80::socket", 3, "meter.lab", 80},
                                                    {"TCPIP::[fe80::1]::5025::SOCKET", 0, "fe80::1", 5025}}) {
    const auto a = TcpSocketBackend::ParseResource(resource);
    ASSERT_TRUE(a) << resource;
    EXPECT_EQ(std::tuple(a->board, a->host, a->port), std::tuple(board, std::string(host), port)) << resource;
  }

  for (const char* bad :
       {"TCPIP0::host::0::SOCKET", "TCPIP0::host::65536::SOCKET", "TCPIP0::host::50x::SOCKET", "TCPIP0::::5025::SOCKET",
        "TCPIP0::host::5025::INSTR", "TCPIP0::a b::5025::SOCKET", "TCPIP0::[fe80::1::5025::SOCKET"})
    EXPECT_FALSE(TcpSocketBackend::ParseResource(bad)) << bad;

  TcpSocketBackend backend({"TCPIP0::127.0.0.5::5025::SOCKET", "TCPIP0::nonsense", "TCPIP1::m::99::SOCKET"});
  EXPECT_EQ(backend.List(), (std::vector<std::string>{"TCPIP0::127.0.0.5::5025::SOCKET", "TCPIP1::m::99::SOCKET"}));
  EXPECT_TRUE(backend.Handles("tcpip0::x::1::socket"));
  EXPECT_TRUE(backend.Handles("TCPIP0::x::SOCKET"));  // claimed so it gets a precise status
  EXPECT_FALSE(backend.Handles("USB0::0x3A7D::0x6081::SN::INSTR"));

  Status status = st::kSuccess;
  EXPECT_FALSE(backend.Open("TCPIP0::x::SOCKET", &status));
  EXPECT_EQ(status, st::kErrorInvalidResourceName);

  std::string resource;
  const int fd = BoundSocket(&resource);  // bound but not listening: the connection is refused
  EXPECT_FALSE(backend.Open(resource, &status));
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  ::close(fd);
}

}  // namespace
}  // namespace merilog
