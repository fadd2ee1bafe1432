#include "core/instrument/Tirpc.h"

#include <dlfcn.h>

#include <cstring>
#include <mutex>
#include <vector>

#include "core/instrument/LoadedLibrary.h"

namespace merilog::tirpc {
namespace {

constexpr char kLibrary[] = "libtirpc.so.3";

struct Api {
  bool_t (*boolean)(XDR*, bool_t*) = nullptr;
  bool_t (*bytes)(XDR*, char**, u_int*, u_int) = nullptr;
  bool_t (*character)(XDR*, char*) = nullptr;
  bool_t (*enumeration)(XDR*, enum_t*) = nullptr;
  bool_t (*longInt)(XDR*, long*) = nullptr;
  bool_t (*string)(XDR*, char**, u_int) = nullptr;
  bool_t (*uChar)(XDR*, u_char*) = nullptr;
  bool_t (*uLong)(XDR*, u_long*) = nullptr;
  bool_t (*uShort)(XDR*, u_short*) = nullptr;
  void (*free)(xdrproc_t, void*) = nullptr;
  void (*memCreate)(XDR*, char*, u_int, enum xdr_op) = nullptr;
};

Api g_api;
bool g_loaded = false;
std::string g_why;
std::once_flag g_once;

void LoadOnce() {
  // Never unloaded: sessions and searches may run until the program ends.
  void* lib = ::dlopen(kLibrary, RTLD_NOW | RTLD_LOCAL);
  if (!lib) {
    g_why = std::string(kLibrary) + " not found (Debian package libtirpc3)";
    return;
  }
  Api api;
  std::string missing;
  BindRoutine(lib, "xdr_bool", &api.boolean, &missing);
  BindRoutine(lib, "xdr_bytes", &api.bytes, &missing);
  BindRoutine(lib, "xdr_char", &api.character, &missing);
  BindRoutine(lib, "xdr_enum", &api.enumeration, &missing);
  BindRoutine(lib, "xdr_long", &api.longInt, &missing);
  BindRoutine(lib, "xdr_string", &api.string, &missing);
  BindRoutine(lib, "xdr_u_char", &api.uChar, &missing);
  BindRoutine(lib, "xdr_u_long", &api.uLong, &missing);
  BindRoutine(lib, "xdr_u_short", &api.uShort, &missing);
  BindRoutine(lib, "xdr_free", &api.free, &missing);
  BindRoutine(lib, "xdrmem_create", &api.memCreate, &missing);
  if (!missing.empty()) {
    g_why = std::string(kLibrary) + " lacks " + missing;
    return;
  }
  g_api = api;
  g_loaded = true;
}

}  // namespace

bool Load(std::string* why) {
  std::call_once(g_once, LoadOnce);
  if (!g_loaded && why) *why = g_why;
  return g_loaded;
}

std::optional<std::string> Encode(xdrproc_t proc, const void* object) {
  if (!Load()) return std::nullopt;
  // Sized by a first pass that counts, so no length is guessed.
  XDR x;
  std::vector<char> buf(256);
  for (;;) {
    g_api.memCreate(&x, buf.data(), static_cast<u_int>(buf.size()), XDR_ENCODE);
    if (proc(&x, const_cast<void*>(object), 0)) return std::string(buf.data(), xdr_getpos(&x));
    if (buf.size() >= (1u << 30)) return std::nullopt;
    buf.resize(buf.size() * 4);
  }
}

bool Decode(xdrproc_t proc, std::string_view bytes, void* object) {
  if (!Load() || bytes.size() > (1u << 30)) return false;
  XDR x;
  // xdrmem never writes while decoding.
  g_api.memCreate(&x, const_cast<char*>(bytes.data()), static_cast<u_int>(bytes.size()), XDR_DECODE);
  return proc(&x, object, 0);
}

void Free(xdrproc_t proc, void* object) {
  if (Load()) g_api.free(proc, object);
}

}  // namespace merilog::tirpc

// The forwarders the renamed routines of the generated code land on.
extern "C" {
bool_t merilog_xdr_bool(XDR* x, bool_t* v) {
  return merilog::tirpc::g_api.boolean(x, v);
}
bool_t merilog_xdr_bytes(XDR* x, char** v, u_int* n, u_int max) {
  return merilog::tirpc::g_api.bytes(x, v, n, max);
}
bool_t merilog_xdr_char(XDR* x, char* v) {
  return merilog::tirpc::g_api.character(x, v);
}
bool_t merilog_xdr_enum(XDR* x, enum_t* v) {
  return merilog::tirpc::g_api.enumeration(x, v);
}
bool_t merilog_xdr_long(XDR* x, long* v) {
  return merilog::tirpc::g_api.longInt(x, v);
}
bool_t merilog_xdr_string(XDR* x, char** v, u_int max) {
  return merilog::tirpc::g_api.string(x, v, max);
}
bool_t merilog_xdr_u_char(XDR* x, u_char* v) {
  return merilog::tirpc::g_api.uChar(x, v);
}
bool_t merilog_xdr_u_long(XDR* x, u_long* v) {
  return merilog::tirpc::g_api.uLong(x, v);
}
bool_t merilog_xdr_u_short(XDR* x, u_short* v) {
  return merilog::tirpc::g_api.uShort(x, v);
}
void merilog_xdr_free(xdrproc_t proc, void* object) {
  merilog::tirpc::g_api.free(proc, object);
}
void merilog_xdrmem_create(XDR* x, char* addr, u_int size, enum xdr_op op) {
  merilog::tirpc::g_api.memCreate(x, addr, size, op);
}
}
