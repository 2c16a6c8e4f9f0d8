#include "net/openssl_library.h"

#include <dlfcn.h>

#include <map>
#include <mutex>

namespace quillon {
namespace {

template <typename Pointer>
bool Resolve(void* library, const char* name, Pointer& pointer) {
  pointer = reinterpret_cast<Pointer>(dlsym(library, name));
  return pointer != nullptr;
}

// Fills `api` from `library` (which finds libcrypto's functions among its dependencies).
// Returns the name of the first function missing, nullptr when none is.
const char* ResolveAll(void* library, OpenSsl& api) {
#define QUILLON_OPENSSL_RESOLVE(name) \
  if (!Resolve(library, #name, api.name)) return #name;
  QUILLON_OPENSSL_FUNCTIONS(QUILLON_OPENSSL_RESOLVE)
#undef QUILLON_OPENSSL_RESOLVE
  return nullptr;
}

}  // namespace

const OpenSsl* LoadOpenSsl(const std::string& name, std::string& problem) {
  static std::mutex mutex;
  static std::map<std::string, OpenSsl> loaded;
  std::lock_guard lock(mutex);
  if (const auto known = loaded.find(name); known != loaded.end()) return &known->second;

  void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    const char* reason = dlerror();
    problem = reason != nullptr ? reason : name + " could not be loaded";
    return nullptr;
  }
  OpenSsl api;
  if (const char* missing = ResolveAll(library, api)) {
    problem = name + " lacks " + missing;  // left loaded: its initialisation may have run
    return nullptr;
  }
  return &loaded.emplace(name, api).first->second;
}

}  // namespace quillon
