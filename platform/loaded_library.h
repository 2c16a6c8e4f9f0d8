// System libraries that only some sessions use, loaded at their first use instead of at
// start-up: libudev for the list of serial ports, BlueZ's libbluetooth for a discovery. Linked,
// they would cost every headless session 190 kB of resident memory. Each function is resolved
// by name into a pointer of the type the library's own header declares, so the compiler
// checks each call as if the library were linked.
#pragma once

#include <dlfcn.h>

#include <optional>

namespace quillon {

// The struct `Api`: a pointer to each function FUNCTIONS names (FUNCTIONS(F) applies F to each
// name), and Api::Resolve, which fills them from a loaded library or returns false.
#define QUILLON_LIBRARY_API(Api, FUNCTIONS)                                 \
  struct Api {                                                              \
    FUNCTIONS(QUILLON_FUNCTION_POINTER)                                     \
    static bool Resolve(void* library, Api& api) {                          \
      FUNCTIONS(QUILLON_RESOLVE_FUNCTION)                                   \
      return true;                                                          \
    }                                                                       \
  }
#define QUILLON_FUNCTION_POINTER(name) decltype(&::name) name = nullptr;
#define QUILLON_RESOLVE_FUNCTION(name)                                      \
  api.name = reinterpret_cast<decltype(&::name)>(dlsym(library, #name)); \
  if (api.name == nullptr) return false;

// The functions of the library `soname`: loaded at the first call and kept for the life of the
// process. nullptr when the library cannot be loaded or lacks a function (the program then goes
// on without what it offers). Thread-safe.
template <typename Api>
const Api* LoadLibraryApi(const char* soname) {
  static const std::optional<Api> loaded = [&]() -> std::optional<Api> {
    void* library = dlopen(soname, RTLD_NOW | RTLD_LOCAL);
    Api api;
    if (library == nullptr || !Api::Resolve(library, api)) return std::nullopt;
    return api;
  }();
  return loaded ? &*loaded : nullptr;
}

}  // namespace quillon
