// Our VXI-11 client against our VXI-11 server, on loopback: the server runs in
// this process on a thread of its own, the client talks to it over real sockets.
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "core/instrument/LanSocket.h"
#include "core/instrument/QueryDevice.h"
#include "core/instrument/Vxi11Backend.h"
#include "support/LoopbackMeter.h"

namespace merilog {
namespace {

namespace st = status;

struct Served {
  explicit Served(sim::SimFaults faults = {})
      : lan(test::LoopbackMeter::Protocol::Vxi11, test::LoopbackMeter::WithFaults(faults)) {
    Vxi11Backend backend({}, static_cast<std::uint16_t>(lan.portmapperPort));
    Status status = st::kErrorSystem;
    session = backend.Open(lan.resource, &status);
    EXPECT_EQ(status, st::kSuccess);
  }
  std::string Identification() const { return lan.meter->Identification(); }
  std::string Query(const std::string& command) {
    return QueryDevice(session.get(), QueryForm::MainWindow, command).text;
  }
  test::LoopbackMeter lan;
  std::unique_ptr<Session> session;
};

TEST(Vxi11Loopback, QueriesLongWritesInChunksAndAnswersReadInPieces) {
  Served s;
  ASSERT_TRUE(s.session);
  EXPECT_EQ(s.Query("*IDN?\n"), s.Identification());
  EXPECT_EQ(s.Query("CONF:CURR:DC\n"), "");
  EXPECT_EQ(s.Query("func?\n"), "CURR");

  // Longer than the link takes at once: the server refuses any bigger chunk.
  const std::string longCommand = "CONF:VOLT:DC" + std::string(3 * sim::Vxi11Server::kMaxRecvSize, ' ') + "\n";
  EXPECT_EQ(s.session->Write(longCommand), st::kSuccess);
  EXPECT_EQ(s.Query("func?\n"), "VOLT");

  // A small count takes part of the answer; the rest follows, ending with END.
  ASSERT_EQ(s.session->Write("*IDN?\n"), st::kSuccess);
  const ReadResult first = s.session->Read(8);
  EXPECT_EQ(first.status, st::kSuccessMaxCount);
  EXPECT_FALSE(first.end);
  const ReadResult rest = s.session->Read(1024);
  EXPECT_EQ(rest.status, st::kSuccess);
  EXPECT_TRUE(rest.end);
  EXPECT_EQ(first.bytes + rest.bytes, s.Identification() + "\n");
}

TEST(Vxi11Loopback, AnAnswerOfAHundredThousandBytesArrivesWhole) {
  sim::SimFaults faults;
  faults.longAnswerBytes = 100000;
  Served s(faults);
  ASSERT_TRUE(s.session);
  ASSERT_EQ(s.session->Write("*IDN?\n"), st::kSuccess);
  const ReadResult r = s.session->Read(200000);
  EXPECT_EQ(r.status, st::kSuccess);
  EXPECT_TRUE(r.end);
  EXPECT_GE(r.bytes.size(), 100000u);
  EXPECT_EQ(r.bytes.rfind("MERISIM", 0), 0u);
}

// Stop and closing the window: a query the meter never answers (its write and
// read sent together) is cut short at once, the instrument is told through
// the abort channel, and its late reply to the abandoned read does not spoil
// the next answer.
TEST(Vxi11Loopback, AnAbortEndsABlockedQueryAndTheLinkGoesOn) {
  Served s;
  ASSERT_TRUE(s.session);
  s.session->SetTimeout(600000);
  auto aborter = s.session->Aborter();
  ASSERT_TRUE(aborter);
  Status written = st::kErrorSystem;
  auto blocked =
      std::async(std::launch::async, [&] { return s.session->WriteThenRead("NOSUCH:QUERY?\n", 1024, &written); });
  aborter->Raise();
  EXPECT_EQ(blocked.get().status, st::kErrorAbort);
  EXPECT_EQ(s.session->Clear(), st::kSuccess);
  EXPECT_EQ(s.Query("*IDN?\n"), s.Identification());
}

TEST(Vxi11Loopback, UnknownDevicesAndHostsWithoutAPortmapperAreNotFound) {
  Served s;
  Vxi11Backend backend({}, static_cast<std::uint16_t>(s.lan.portmapperPort));
  Status status = st::kSuccess;
  EXPECT_FALSE(backend.Open("TCPIP0::127.0.0.1::gpib0,5::INSTR", &status));
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  // The core channel's port is no portmapper.
  Vxi11Backend wrongPort({}, static_cast<std::uint16_t>(s.lan.port));
  EXPECT_FALSE(wrongPort.Open("TCPIP0::127.0.0.1::INSTR", &status));
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  EXPECT_FALSE(backend.Open("TCPIP0::127.0.0.1::hislip0::INSTR", &status));
  EXPECT_EQ(status, st::kErrorInvalidResourceName);
}

}  // namespace
}  // namespace merilog
