#include "net/address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace quillon {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// One lookup on its own thread. The caller may give up on it; the thread then finishes alone
// and the last of the two to let go frees the state.
struct PendingLookup {
  PendingLookup() : doneFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)) {}
  ~PendingLookup() {
    if (doneFd >= 0) close(doneFd);
  }
  PendingLookup(const PendingLookup&) = delete;
  PendingLookup& operator=(const PendingLookup&) = delete;

  const int doneFd;  // readable once `result` is set
  std::mutex mutex;
  CasterAddress result;  // guarded by mutex
};

CasterAddress LookUpWhileWaiting(const std::string& name, Clock& clock, const StopRequested& stop,
                                 const NameLookup& lookup) {
  auto pending = std::make_shared<PendingLookup>();
  if (pending->doneFd < 0) return lookup(name);
  try {
    std::thread([pending, name, lookup] {
      CasterAddress found = lookup(name);
      std::lock_guard guard(pending->mutex);
      pending->result = std::move(found);
      const std::uint64_t one = 1;
      [[maybe_unused]] const ssize_t written = write(pending->doneFd, &one, sizeof one);
    }).detach();
  } catch (const std::system_error&) {
    return lookup(name);  // no thread to be had: look up here, as before
  }
  const WaitEnd end = WaitInSteps(clock, kNameLookupLimitMs, stop, [&](std::uint32_t ms) {
    return clock.WaitReadable(pending->doneFd, ms);
  });
  if (end == WaitEnd::kReady) {
    std::lock_guard guard(pending->mutex);
    return pending->result;
  }
  CasterAddress givenUp;
  if (end == WaitEnd::kStopped) {
    givenUp.kind = AddressKind::kStopped;
  } else {
    givenUp.problem = gai_strerror(EAI_AGAIN);  // "Temporary failure in name resolution"
  }
  return givenUp;
}

}  // namespace

CasterAddress LookUpHostName(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  CasterAddress result;
  const int status = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (status == 0 && list != nullptr) {
    result.kind = AddressKind::kResolved;
    result.address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
  } else {
    result.problem = status == EAI_SYSTEM ? SystemErrorText(errno) : gai_strerror(status);
  }
  if (list != nullptr) freeaddrinfo(list);
  return result;
}

CasterAddress ResolveCasterAddress(std::string_view text, Clock& clock, const StopRequested& stop,
                                   const NameLookup& lookup) {
  const std::string name(text.substr(0, std::min(text.find('\0'), text.size())));
  if (!name.empty() && IsAsciiLetter(name.front())) {
    return LookUpWhileWaiting(name, clock, stop, lookup);
  }
  CasterAddress result;
  const in_addr_t dotted = inet_addr(name.c_str());
  if (dotted == INADDR_NONE) {
    result.kind = AddressKind::kInvalidDotted;
    return result;
  }
  result.kind = AddressKind::kResolved;
  result.address.s_addr = dotted;
  return result;
}

}  // namespace quillon
