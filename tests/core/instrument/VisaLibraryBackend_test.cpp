#include "core/instrument/VisaLibraryBackend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace merilog {
namespace {

namespace st = status;

// A VISA library behind its entry points: a few resources and one instrument.
struct FakeVisa {
  std::vector<std::string> resources;
  std::set<visa::ViObject> open;  // every open object: manager, find lists, sessions
  visa::ViObject next = 100;
  visa::ViStatus openRmStatus = st::kSuccess;
  visa::ViAttrState timeout = 0;
  std::string written;
  std::string answer;
  visa::ViStatus readStatus = st::kSuccess;  // the status when the answer ends
  int clears = 0;
};
FakeVisa* fake = nullptr;

visa::ViStatus NewObject(visa::ViObject* o) {
  fake->open.insert(*o = fake->next++);
  return st::kSuccess;
}
visa::ViStatus OpenDefaultRM(visa::ViSession* rm) {
  return fake->openRmStatus != st::kSuccess ? fake->openRmStatus : NewObject(rm);
}
visa::ViStatus FindRsrc(visa::ViSession, const char* expr, visa::ViFindList* list, visa::ViUInt32* count, char* d) {
  if (std::strcmp(expr, "?*INSTR") != 0 || fake->resources.empty()) return st::kErrorResourceNotFound;
  NewObject(list);
  *count = static_cast<visa::ViUInt32>(fake->resources.size());
  std::strcpy(d, fake->resources[0].c_str());
  return st::kSuccess;
}
std::size_t findIndex = 0;
visa::ViStatus FindNext(visa::ViFindList, char* d) {
  if (++findIndex >= fake->resources.size()) return st::kErrorResourceNotFound;
  std::strcpy(d, fake->resources[findIndex].c_str());
  return st::kSuccess;
}
visa::ViStatus Open(visa::ViSession, const char* name, visa::ViUInt32, visa::ViUInt32, visa::ViSession* vi) {
  for (const auto& r : fake->resources)
    if (r == name) return NewObject(vi);
  return st::kErrorResourceNotFound;
}
visa::ViStatus Close(visa::ViObject o) {
  return fake->open.erase(o) ? st::kSuccess : st::kErrorInvalidObject;
}
visa::ViStatus SetAttribute(visa::ViObject, visa::ViAttr attr, visa::ViAttrState value) {
  if (attr != visa::kAttrTimeoutValue) return st::kErrorNotSupported;
  fake->timeout = value;
  return st::kSuccess;
}
visa::ViStatus Write(visa::ViSession, const unsigned char* data, visa::ViUInt32 count, visa::ViUInt32* written) {
  fake->written.append(reinterpret_cast<const char*>(data), count);
  *written = count;
  return st::kSuccess;
}
visa::ViStatus Read(visa::ViSession, unsigned char* data, visa::ViUInt32 count, visa::ViUInt32* got) {
  if (fake->answer.empty()) {
    *got = 0;
    return st::kErrorTimeout;
  }
  const std::size_t n = std::min<std::size_t>(count, fake->answer.size());
  std::memcpy(data, fake->answer.data(), n);
  fake->answer.erase(0, n);
  *got = static_cast<visa::ViUInt32>(n);
  return fake->answer.empty() ? fake->readStatus : visa::kSuccessMaxCount;
}
visa::ViStatus Clear(visa::ViSession) {
  return ++fake->clears, st::kSuccess;
}

class VisaLibraryBackendTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fake = &fake_;
    findIndex = 0;
  }
  void TearDown() override { fake = nullptr; }
  static VisaApi Api() { return {OpenDefaultRM, FindRsrc, FindNext, Open, Close, SetAttribute, Write, Read, Clear}; }
  FakeVisa fake_;
};

TEST(VisaLibraryBackendAbsent, InactiveWithTheNamesTried) {
  VisaLibraryBackend backend(std::vector<std::string>{"libnovisa-a.so", "libnovisa-b.so"});
  std::string why;
  EXPECT_FALSE(backend.IsActive(&why));
  EXPECT_EQ(why, "no VISA library found (tried libnovisa-a.so, libnovisa-b.so)");
  Status status = st::kSuccess;
  EXPECT_FALSE(backend.Open("USB0::0x3A7D::0x6081::SN01::INSTR", &status));
  EXPECT_EQ(status, st::kErrorLibraryNotFound);
}

TEST_F(VisaLibraryBackendTest, ListsWhatTheLibraryFindsAndClosesTheList) {
  fake_.resources = {"USB0::0x3A7D::0x6081::SN01::INSTR", "GPIB0::16::INSTR", "ASRL1::INSTR"};
  VisaLibraryBackend backend(Api());
  EXPECT_TRUE(backend.IsActive(nullptr));
  EXPECT_EQ(backend.List(), fake_.resources);
  EXPECT_EQ(fake_.open.size(), 1u);  // only the resource manager is left open
  fake_.resources.clear();
  EXPECT_TRUE(backend.List().empty());
  EXPECT_TRUE(backend.Handles("tcpip0::127.0.0.5::inst0::instr"));
  EXPECT_FALSE(backend.Handles("TCPIP0::127.0.0.5::5025::SOCKET"));  // left to the socket backend

  fake_.openRmStatus = st::kErrorSystem;  // a failing resource manager makes it inactive
  std::string why;
  EXPECT_FALSE(VisaLibraryBackend(Api()).IsActive(&why));
  EXPECT_NE(why.find("viOpenDefaultRM failed"), std::string::npos) << why;
}

TEST_F(VisaLibraryBackendTest, SessionPassesStatusesAndMarksTheEnd) {
  fake_.resources = {"GPIB0::16::INSTR"};
  auto backend = std::make_unique<VisaLibraryBackend>(Api());
  Status status = st::kErrorSystem;
  auto s = backend->Open("GPIB0::16::INSTR", &status);
  ASSERT_TRUE(s);
  EXPECT_EQ(fake_.timeout, 2000u);
  EXPECT_EQ(s->SetTimeout(-1), st::kSuccess);
  EXPECT_EQ(fake_.timeout, visa::kTimeoutInfinite);

  EXPECT_EQ(s->Write("*IDN?\n"), st::kSuccess);
  EXPECT_EQ(fake_.written, "*IDN?\n");
  fake_.answer = std::string(1100, 'z');
  fake_.readStatus = visa::kSuccessTermChar;
  ReadResult r = s->Read(1024);
  EXPECT_EQ(r.status, st::kSuccessMaxCount);
  EXPECT_FALSE(r.end);
  r = s->Read(1024);
  EXPECT_EQ(r.status, st::kSuccess);  // ended at the termination character
  EXPECT_TRUE(r.end);
  EXPECT_EQ(r.bytes.size(), 76u);
  r = s->Read(1024);
  EXPECT_EQ(r.status, st::kErrorTimeout);
  EXPECT_FALSE(r.end);
  EXPECT_EQ(s->Clear(), st::kSuccess);
  EXPECT_EQ(fake_.clears, 1);

  EXPECT_FALSE(backend->Open("GPIB0::17::INSTR", &status));
  EXPECT_EQ(status, st::kErrorResourceNotFound);

  // The manager outlives the backend while a session still needs it.
  backend.reset();
  EXPECT_EQ(fake_.open.size(), 2u);
  s.reset();
  EXPECT_TRUE(fake_.open.empty());
}

}  // namespace
}  // namespace merilog
