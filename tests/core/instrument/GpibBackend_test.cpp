#include "core/instrument/GpibBackend.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace merilog {
namespace {

namespace st = status;

// A GPIB bus behind the library's entry points: boards, listeners and one
// instrument whose answer is queued by the test.
struct FakeBus {
  std::set<int> boards;
  std::set<std::pair<int, int>> listeners;     // (board, pad)
  std::map<int, std::pair<int, int>> devices;  // ud -> (board, pad)
  int nextUd = 7;
  int lastSad = -1;
  int lastOpenTimeoutCode = -1;
  int timeoutCode = -1;
  std::vector<int> offline;
  std::vector<std::string> written;
  std::string answer;
  bool silent = false;
  bool gone = false;
  int lnCalls = 0;
  int iberr = 0;
  long ibcnt = 0;
};
FakeBus* bus = nullptr;

int Fail(int err, int extra = 0) {
  bus->iberr = err;
  return gpib::kErr | extra;
}

int FakeIbdev(int board, int pad, int sad, int tmo, int, int) {
  if (!bus->boards.count(board)) return -1;
  bus->lastSad = sad;
  bus->lastOpenTimeoutCode = tmo;
  bus->devices[bus->nextUd] = {board, pad};
  return bus->nextUd++;
}
int FakeIbwrt(int ud, const void* data, long count) {
  if (bus->gone) return Fail(gpib::kEnol);
  bus->written.emplace_back(static_cast<const char*>(data), count);
  bus->ibcnt = count;
  return 0;
}
int FakeIbrd(int ud, void* data, long count) {
  if (bus->silent) return Fail(gpib::kEabo, gpib::kTimo);
  const long n = std::min<long>(count, bus->answer.size());
  std::memcpy(data, bus->answer.data(), n);
  bus->answer.erase(0, n);
  bus->ibcnt = n;
  return bus->answer.empty() ? gpib::kEnd : 0;
}
int FakeIbonl(int ud, int online) {
  if (!online) bus->offline.push_back(ud);
  return 0;
}
int FakeIbln(int ud, int pad, int, short* found) {
  ++bus->lnCalls;
  const int board = bus->devices.count(ud) ? bus->devices[ud].first : ud;
  if (!bus->boards.count(board)) return Fail(gpib::kEneb);
  *found = bus->listeners.count({board, pad}) ? 1 : 0;
  return 0;
}

class GpibBackendTest : public ::testing::Test {
 protected:
  void SetUp() override { bus = &fake_; }
  void TearDown() override { bus = nullptr; }
  static GpibApi Api() {
    return {FakeIbdev,
            FakeIbwrt,
            FakeIbrd,
            [](int, int code) { return bus->timeoutCode = code, 0; },
            [](int) { return 0; },
            FakeIbonl,
            FakeIbln,
            [] { return bus->iberr; },
            [] { return bus->ibcnt; }};
  }
  FakeBus fake_;
};

TEST(GpibBackendAbsent, InactiveListsNothingAndOpensNothing) {
  GpibBackend backend("libgpib-not-installed.so.0");
  std::string why;
  EXPECT_FALSE(backend.IsActive(&why));
  EXPECT_EQ(why, "libgpib-not-installed.so.0 not found");
  Status status = st::kSuccess;
  EXPECT_FALSE(backend.Open("GPIB0::16::INSTR", &status));
  EXPECT_EQ(status, st::kErrorLibraryNotFound);
}

TEST_F(GpibBackendTest, ListsListenersOfPresentBoardsOnly) {
  fake_.boards = {0, 2};
  fake_.listeners = {{0, 16}, {0, 5}, {2, 22}, {0, 0}, {0, 31}};  // pads 0 and 31 are outside the search
  GpibBackend backend(Api());
  EXPECT_TRUE(backend.IsActive(nullptr));
  EXPECT_EQ(backend.List(), (std::vector<std::string>{"GPIB0::5::INSTR", "GPIB0::16::INSTR", "GPIB2::22::INSTR"}));
  EXPECT_EQ(fake_.lnCalls, 30 + 1 + 30 + 1);  // an absent board is asked once
}

TEST_F(GpibBackendTest, OpenChecksTheAddressSessionReadsUntilEndAndMapsErrors) {
  fake_.boards = {0};
  fake_.listeners = {{0, 16}, {0, 9}};
  GpibBackend backend(Api());
  Status status = st::kSuccess;
  EXPECT_FALSE(backend.Open("GPIB0::10::INSTR", &status));  // nobody listens there
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  EXPECT_EQ(fake_.offline.size(), 1u);                     // the descriptor was given back
  EXPECT_FALSE(backend.Open("GPIB1::9::INSTR", &status));  // no such board
  EXPECT_EQ(status, st::kErrorResourceNotFound);
  EXPECT_FALSE(backend.Open("GPIB0::31::INSTR", &status));
  EXPECT_EQ(status, st::kErrorInvalidResourceName);
  EXPECT_TRUE(backend.Open("gpib0::9::3::instr", &status));  // destroyed at once: taken off line
  EXPECT_EQ(fake_.lastSad, gpib::kSadBase + 3);
  EXPECT_EQ(fake_.offline.size(), 2u);

  auto s = backend.Open("GPIB0::16::INSTR", &status);
  ASSERT_TRUE(s);
  EXPECT_EQ(status, st::kSuccess);
  EXPECT_EQ(fake_.lastSad, gpib::kNoSad);
  EXPECT_EQ(fake_.lastOpenTimeoutCode, GpibBackend::TimeoutCode(2000));

  EXPECT_EQ(s->Write("*IDN?\n"), st::kSuccess);
  EXPECT_EQ(fake_.written, std::vector<std::string>{"*IDN?\n"});
  fake_.answer = std::string(1500, 'a');
  ReadResult piece = s->Read(1024);
  EXPECT_EQ(piece.status, st::kSuccessMaxCount);
  EXPECT_FALSE(piece.end);
  EXPECT_EQ(piece.bytes.size(), 1024u);
  piece = s->Read(1024);
  EXPECT_EQ(piece.status, st::kSuccess);
  EXPECT_TRUE(piece.end);
  EXPECT_EQ(piece.bytes.size(), 476u);

  fake_.silent = true;
  EXPECT_EQ(s->Read(1024).status, st::kErrorTimeout);
  fake_.gone = true;
  EXPECT_EQ(s->Write("read?\n"), st::kErrorConnectionLost);

  EXPECT_EQ(s->SetTimeout(20000), st::kSuccess);
  EXPECT_EQ(fake_.timeoutCode, 14);  // 30 s, the first step not below 20 s
  EXPECT_EQ(s->Close(), st::kSuccess);
  EXPECT_EQ(fake_.offline.back(), 9);
  EXPECT_EQ(s->Read(10).status, st::kErrorInvalidObject);
}

TEST(GpibBackendStatic, TimeoutCodesRoundUp) {
  // -1: no time-out; 5000000 is beyond the longest step.
  for (const auto& [ms, code] :
       {std::pair{-1, 0}, {0, 1}, {1, 5}, {2, 6}, {100, 9}, {101, 10}, {2000, 12}, {5000000, 17}})
    EXPECT_EQ(GpibBackend::TimeoutCode(ms), code) << ms;
}

}  // namespace
}  // namespace merilog
