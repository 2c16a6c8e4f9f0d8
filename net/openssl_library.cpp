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

// What loading one library came to: its functions, or why there are none.
struct Loaded {
  OpenSsl api;
  std::string problem;  // empty when `api` is whole
};

Loaded Load(const std::string& name) {
  Loaded loaded;
  // Never unloaded (OpenSSL cannot be, safely): a dlclose only gives back the reference.
  void* library = dlopen(name.c_str(), RTLD_NOW | RTLD_NODELETE);
  if (library == nullptr) {
    const char* reason = dlerror();
    loaded.problem = reason != nullptr ? reason : name + " could not be loaded";
    return loaded;
  }
  if (const char* missing = ResolveAll(library, loaded.api)) {
    loaded.problem = name + " lacks " + missing;
    dlclose(library);
  }
  return loaded;
}

}  // namespace

// The soname of the libssl whose headers the calls were checked against.
#define QUILLON_OPENSSL_DIGITS(version) #version
#define QUILLON_OPENSSL_TEXT(version) QUILLON_OPENSSL_DIGITS(version)
const char kOpenSslLibrary[] = "libssl.so." QUILLON_OPENSSL_TEXT(OPENSSL_SHLIB_VERSION);

const OpenSsl* LoadOpenSsl(const std::string& name, std::string& problem) {
  static std::mutex mutex;
  // Failures too: a library that was not there is not looked for again.
  static std::map<std::string, Loaded> tried;
  std::lock_guard lock(mutex);
  auto known = tried.find(name);
  if (known == tried.end()) known = tried.emplace(name, Load(name)).first;
  problem = known->second.problem;
  return problem.empty() ? &known->second.api : nullptr;
}

}  // namespace quillon
