#pragma once
#include <dlfcn.h>

#include <string>

namespace merilog {

// Binds a routine of a library loaded at run time (dlopen) to *into; the first
// name the library lacks is kept in *missing, so one message names it.
template <class F>
bool BindRoutine(void* library, const char* name, F* into, std::string* missing) {
  *into = reinterpret_cast<F>(::dlsym(library, name));
  if (!*into && missing->empty()) *missing = name;
  return *into != nullptr;
}

}  // namespace merilog
