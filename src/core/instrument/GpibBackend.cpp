#include "core/instrument/GpibBackend.h"

#include <dlfcn.h>
#include <strings.h>

#include <cctype>

#include "core/instrument/GpibSession.h"

namespace merilog {
namespace {

// Periods of the library's time-out codes 1..17 in microseconds (code 0 is "none").
constexpr long long kTimeoutPeriodsUs[] = {
    10,      30,        100,       300,        1'000,      3'000,       10'000,      30'000,        100'000,
    300'000, 1'000'000, 3'000'000, 10'000'000, 30'000'000, 100'000'000, 300'000'000, 1'000'000'000,
};

template <typename T>
bool Bind(void* lib, const char* name, T& fn) {
  fn = reinterpret_cast<T>(::dlsym(lib, name));
  return fn != nullptr;
}

// The name of the first required entry point the library lacks, or nullptr.
const char* BindRequired(void* lib, GpibApi& api) {
  if (!Bind(lib, "ibdev", api.ibdev)) return "ibdev";
  if (!Bind(lib, "ibwrt", api.ibwrt)) return "ibwrt";
  if (!Bind(lib, "ibrd", api.ibrd)) return "ibrd";
  if (!Bind(lib, "ibtmo", api.ibtmo)) return "ibtmo";
  if (!Bind(lib, "ibclr", api.ibclr)) return "ibclr";
  if (!Bind(lib, "ibonl", api.ibonl)) return "ibonl";
  if (!Bind(lib, "ibln", api.ibln)) return "ibln";
  return nullptr;
}

bool ParseInt(const std::string& s, int lo, int hi, int* out) {
  if (s.empty() || s.size() > 3) return false;
  int v = 0;
  for (unsigned char c : s) {
    if (!std::isdigit(c)) return false;
    v = v * 10 + (c - '0');
  }
  if (v < lo || v > hi) return false;
  *out = v;
  return true;
}

}  // namespace

GpibBackend::GpibBackend(const std::string& library) {
  // The library is never unloaded: sessions may outlive the backend.
  void* lib = ::dlopen(library.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    whyNot_ = library + " not found";
    return;
  }
  GpibApi api;
  const char* missing = BindRequired(lib, api);
  if (missing) {
    whyNot_ = library + " lacks " + missing;
    return;
  }
  Bind(lib, "ThreadIberr", api.threadIberr);
  Bind(lib, "ThreadIbcntl", api.threadIbcntl);
  Bind(lib, "ThreadIbcnt", api.threadIbcnt);
  Bind(lib, "iberr", api.iberr);
  Bind(lib, "ibcntl", api.ibcntl);
  Bind(lib, "ibcnt", api.ibcnt);
  if ((!api.threadIberr && !api.iberr) || (!api.threadIbcntl && !api.threadIbcnt && !api.ibcntl && !api.ibcnt)) {
    whyNot_ = library + " lacks iberr or ibcnt";
    return;
  }
  api_ = api;
}

GpibBackend::GpibBackend(const GpibApi& api) : api_(api) {}

bool GpibBackend::IsActive(std::string* whyNot) const {
  if (api_) return true;
  if (whyNot) *whyNot = whyNot_;
  return false;
}

std::vector<std::string> GpibBackend::List() {
  std::vector<std::string> out;
  if (!api_) return out;
  for (int board = 0; board < kBoards; ++board) {
    for (int pad = kFirstPad; pad <= kLastPad; ++pad) {
      short found = 0;
      const int sta = api_->ibln(board, pad, gpib::kNoSad, &found);
      // A board that is absent or offline fails on every address: stop asking it.
      if (sta & gpib::kErr) break;
      if (found) out.push_back("GPIB" + std::to_string(board) + "::" + std::to_string(pad) + "::INSTR");
    }
  }
  return out;
}

bool GpibBackend::Handles(const std::string& resource) const {
  return api_ && ::strncasecmp(resource.c_str(), "GPIB", 4) == 0 && resource.size() > 11 &&
         ::strcasecmp(resource.c_str() + resource.size() - 7, "::INSTR") == 0;
}

std::optional<GpibBackend::Address> GpibBackend::ParseResource(const std::string& resource) {
  if (::strncasecmp(resource.c_str(), "GPIB", 4) != 0) return std::nullopt;
  std::vector<std::string> f;
  std::size_t pos = 4;
  for (;;) {
    const std::size_t sep = resource.find("::", pos);
    f.push_back(resource.substr(pos, sep == std::string::npos ? std::string::npos : sep - pos));
    if (sep == std::string::npos) break;
    pos = sep + 2;
  }
  if ((f.size() != 3 && f.size() != 4) || ::strcasecmp(f.back().c_str(), "INSTR") != 0) return std::nullopt;
  Address a;
  if (!f[0].empty() && !ParseInt(f[0], 0, 99, &a.board)) return std::nullopt;
  if (!ParseInt(f[1], 0, 30, &a.pad)) return std::nullopt;
  if (f.size() == 4 && !ParseInt(f[2], 0, 30, &a.sad)) return std::nullopt;
  return a;
}

int GpibBackend::TimeoutCode(int ms) {
  if (ms < 0) return 0;
  const long long us = static_cast<long long>(ms) * 1000;
  int code = 1;
  for (long long period : kTimeoutPeriodsUs) {
    if (period >= us) return code;
    ++code;
  }
  return code - 1;  // longer than the longest step: take the longest
}

std::unique_ptr<Session> GpibBackend::Open(const std::string& resource, Status* status) {
  Status st = status::kSuccess;
  std::unique_ptr<Session> session;
  const auto address = ParseResource(resource);
  if (!api_) {
    st = status::kErrorLibraryNotFound;
  } else if (!address) {
    st = status::kErrorInvalidResourceName;
  } else {
    const int sad = address->sad < 0 ? gpib::kNoSad : gpib::kSadBase + address->sad;
    const int ud = api_->ibdev(address->board, address->pad, sad, TimeoutCode(kDefaultTimeoutMs), 1, 0);
    if (ud < 0) {
      st = status::kErrorResourceNotFound;
    } else {
      // ibdev does not look at the bus; ask whether anyone listens at that address, so a
      // wrong address fails here rather than as a time-out later. A failed check proves nothing.
      short found = 1;
      const int sta = api_->ibln(ud, address->pad, sad, &found);
      if (!(sta & gpib::kErr) && !found) {
        api_->ibonl(ud, 0);
        st = status::kErrorResourceNotFound;
      } else {
        session = std::make_unique<GpibSession>(*api_, ud, resource);
      }
    }
  }
  if (status) *status = st;
  return session;
}

}  // namespace merilog
