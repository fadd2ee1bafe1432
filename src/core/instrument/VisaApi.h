#pragma once
#include <cstddef>
#include <cstdint>

namespace merilog {

// The few entry points of an installed VISA library that its backend uses,
// declared here by their standard signatures so no vendor header is needed.
namespace visa {
using ViStatus = std::int32_t;
using ViUInt32 = std::uint32_t;
using ViSession = ViUInt32;
using ViObject = ViUInt32;
using ViFindList = ViUInt32;
using ViAttr = ViUInt32;
// Attribute values are pointer-sized on 64-bit hosts.
using ViAttrState = std::uintptr_t;

constexpr ViAttr kAttrTimeoutValue = 0x3FFF001A;  // VI_ATTR_TMO_VALUE
constexpr ViUInt32 kTimeoutInfinite = 0xFFFFFFFFu;
constexpr ViStatus kSuccessTermChar = 0x3FFF0005;  // read ended at the termination character
constexpr ViStatus kSuccessMaxCount = 0x3FFF0006;  // read filled the count; more may follow
constexpr ViUInt32 kNoLock = 0;
constexpr std::size_t kFindBufferLength = 256;  // VI_FIND_BUFLEN
}  // namespace visa

struct VisaApi {
  visa::ViStatus (*viOpenDefaultRM)(visa::ViSession* rm) = nullptr;
  visa::ViStatus (*viFindRsrc)(visa::ViSession rm, const char* expression, visa::ViFindList* list,
                               visa::ViUInt32* count, char* description) = nullptr;
  visa::ViStatus (*viFindNext)(visa::ViFindList list, char* description) = nullptr;
  visa::ViStatus (*viOpen)(visa::ViSession rm, const char* resource, visa::ViUInt32 accessMode,
                           visa::ViUInt32 openTimeout, visa::ViSession* session) = nullptr;
  visa::ViStatus (*viClose)(visa::ViObject object) = nullptr;
  visa::ViStatus (*viSetAttribute)(visa::ViObject object, visa::ViAttr attribute, visa::ViAttrState value) = nullptr;
  visa::ViStatus (*viWrite)(visa::ViSession session, const unsigned char* data, visa::ViUInt32 count,
                            visa::ViUInt32* written) = nullptr;
  visa::ViStatus (*viRead)(visa::ViSession session, unsigned char* data, visa::ViUInt32 count,
                           visa::ViUInt32* read) = nullptr;
  visa::ViStatus (*viClear)(visa::ViSession session) = nullptr;
};

}  // namespace merilog
