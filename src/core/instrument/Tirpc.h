#pragma once
// The generated VXI-11 types and XDR routines, with libtirpc loaded at run time.
#include "core/instrument/TirpcShim.h"
// clang-format off: the shim must come first
#include <rpc/rpc.h>

#include "vxi11.h"
// clang-format on

#include <optional>
#include <string>
#include <string_view>

namespace merilog::tirpc {

// Loads libtirpc.so.3 once; false with the reason when it or a routine is missing.
bool Load(std::string* why = nullptr);

// The XDR encoding of *object, or empty when it does not encode (a value out of
// range) or libtirpc is missing.
std::optional<std::string> Encode(xdrproc_t proc, const void* object);
// Decodes bytes into *object (zeroed first); every variable-length field it
// holds must be released with Free, also after a failure.
bool Decode(xdrproc_t proc, std::string_view bytes, void* object);
void Free(xdrproc_t proc, void* object);

}  // namespace merilog::tirpc
