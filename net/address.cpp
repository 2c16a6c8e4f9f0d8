#include "net/address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <system_error>
#include <thread>

namespace quillon {
namespace {

bool IsDigitsAndDots(std::string_view text) {
  return text.find_first_not_of("0123456789.") == std::string_view::npos;
}

bool IsBracketed(std::string_view text) {
  return text.size() >= 2 && text.front() == '[' && text.back() == ']';
}

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
    // No thread to be had: a lookup that blocks beyond a stop beats a caster never looked up.
    return lookup(name);
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

CasterAddress Resolved(IpAddress address) {
  CasterAddress result;
  result.kind = AddressKind::kResolved;
  result.addresses.push_back(address);
  return result;
}

CasterAddress InvalidLiteral() {
  CasterAddress result;
  result.kind = AddressKind::kInvalidLiteral;
  return result;
}

// An IPv6 address written out, with a zone ("fe80::1%eth0") where one is given; never looked up.
CasterAddress IPv6Literal(const std::string& text) {
  addrinfo hints{};
  hints.ai_family = AF_INET6;
  hints.ai_socktype = SOCK_STREAM;
  hints.ai_flags = AI_NUMERICHOST;
  addrinfo* list = nullptr;
  CasterAddress result = InvalidLiteral();
  if (getaddrinfo(text.c_str(), nullptr, &hints, &list) == 0 && list != nullptr) {
    result = Resolved(IpAddress::FromSocketAddress(list->ai_addr, list->ai_addrlen));
  }
  if (list != nullptr) freeaddrinfo(list);
  return result;
}

}  // namespace

IpAddress IpAddress::FromV4(in_addr address) {
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_addr = address;
  return FromSocketAddress(reinterpret_cast<const sockaddr*>(&v4), sizeof v4);
}

IpAddress IpAddress::FromSocketAddress(const sockaddr* address, socklen_t length) {
  IpAddress result;
  const bool v4 = address->sa_family == AF_INET && length == sizeof(sockaddr_in);
  const bool v6 = address->sa_family == AF_INET6 && length == sizeof(sockaddr_in6);
  if (!v4 && !v6) return result;
  std::memcpy(&result.socket, address, length);
  result.length = length;
  return result;
}

std::string IpAddress::Text() const {
  char text[NI_MAXHOST] = {};
  if (getnameinfo(reinterpret_cast<const sockaddr*>(&socket), length, text, sizeof text, nullptr, 0,
                  NI_NUMERICHOST) != 0) {
    return "?";
  }
  return text;
}

bool IpAddress::IsUnspecified() const {
  if (Family() == AF_INET) {
    return reinterpret_cast<const sockaddr_in*>(&socket)->sin_addr.s_addr == INADDR_ANY;
  }
  return IN6_IS_ADDR_UNSPECIFIED(&reinterpret_cast<const sockaddr_in6*>(&socket)->sin6_addr);
}

sockaddr_storage IpAddress::WithPort(std::uint16_t port) const {
  sockaddr_storage result = socket;
  // sin_port and sin6_port sit at the same place; set through the right type all the same.
  if (Family() == AF_INET) {
    reinterpret_cast<sockaddr_in*>(&result)->sin_port = htons(port);
  } else {
    reinterpret_cast<sockaddr_in6*>(&result)->sin6_port = htons(port);
  }
  return result;
}

CasterAddress LookUpHostName(const std::string& name) {
  addrinfo hints{};
  hints.ai_family = AF_UNSPEC;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* list = nullptr;
  CasterAddress result;
  const int status = getaddrinfo(name.c_str(), nullptr, &hints, &list);
  if (status != 0) {
    result.problem = status == EAI_SYSTEM ? SystemErrorText(errno) : gai_strerror(status);
    return result;
  }
  for (const addrinfo* entry = list;
       entry != nullptr && result.addresses.size() < kMaxCasterAddresses; entry = entry->ai_next) {
    const IpAddress address = IpAddress::FromSocketAddress(entry->ai_addr, entry->ai_addrlen);
    const auto same = [&](const IpAddress& known) { return known.Text() == address.Text(); };
    if (address.length == 0 ||
        std::any_of(result.addresses.begin(), result.addresses.end(), same)) {
      continue;
    }
    result.addresses.push_back(address);
  }
  freeaddrinfo(list);
  if (result.addresses.empty()) {
    result.problem = gai_strerror(EAI_NONAME);
  } else {
    result.kind = AddressKind::kResolved;
  }
  return result;
}

bool IsAddressLiteral(std::string_view text) {
  const std::string_view name = text.substr(0, std::min(text.find('\0'), text.size()));
  return IsBracketed(name) || name.find(':') != std::string_view::npos || IsDigitsAndDots(name);
}

CasterAddress ResolveCasterAddress(std::string_view text, Clock& clock, const StopRequested& stop,
                                   const NameLookup& lookup) {
  std::string name(text.substr(0, std::min(text.find('\0'), text.size())));
  if (!IsAddressLiteral(name)) return LookUpWhileWaiting(name, clock, stop, lookup);
  const bool bracketed = IsBracketed(name);
  if (bracketed) name = name.substr(1, name.size() - 2);
  if (bracketed || name.find(':') != std::string::npos) return IPv6Literal(name);
  in_addr dotted{};
  dotted.s_addr = inet_addr(name.c_str());
  if (dotted.s_addr == INADDR_NONE) return InvalidLiteral();
  return Resolved(IpAddress::FromV4(dotted));
}

}  // namespace quillon
