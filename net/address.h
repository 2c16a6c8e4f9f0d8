// Turning the caster address the user typed into the addresses to connect to: IPv4 and IPv6
// alike, every address a name has.
#pragma once

#include <netinet/in.h>
#include <sys/socket.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "platform/system_error.h"
#include "platform/wait_step.h"

namespace quillon {

// One address of a caster, IPv4 or IPv6, without a port.
struct IpAddress {
  sockaddr_storage socket{};  // an AF_INET or AF_INET6 socket address, port 0
  socklen_t length = 0;

  static IpAddress FromV4(in_addr address);
  // The address of a lookup's entry; length 0 when it is neither IPv4 nor IPv6.
  static IpAddress FromSocketAddress(const sockaddr* address, socklen_t length);

  int Family() const { return socket.ss_family; }
  // "192.0.2.1", "2001:db8::1" (with "%scope" for a link-local address).
  std::string Text() const;
  // 0.0.0.0 or ::, which name no caster: Linux would take them for this host.
  bool IsUnspecified() const;
  // The socket address to connect to: this address with `port` (host byte order).
  sockaddr_storage WithPort(std::uint16_t port) const;
};

enum class AddressKind {
  kResolved,  // `addresses` holds every address of the caster, in the order to try them
  // Text that can only be a literal address and is none: made of digits and dots but not a
  // valid dotted address ("192.168.1.300"; "255.255.255.255" too, as inet_addr has it), or
  // holding a ':' but not an IPv6 address.
  kInvalidLiteral,
  kUnresolved,  // a host name that does not resolve; `problem` says why
  kStopped,     // the caller asked to stop while the name was being looked up
};

struct CasterAddress {
  AddressKind kind = AddressKind::kUnresolved;
  std::vector<IpAddress> addresses;  // kResolved: at least one, at most kMaxCasterAddresses
  std::string problem;  // kUnresolved: the system's reason, such as "Name or service not known"
};

// The most addresses of one name that are kept (and tried).
inline constexpr std::size_t kMaxCasterAddresses = 16;

// A blocking host-name lookup: every address of `name`, or kUnresolved with the reason.
using NameLookup = std::function<CasterAddress(const std::string& name)>;

// The system's lookup: getaddrinfo for IPv4 and IPv6 alike, in the order it gives (the
// system's address selection), each address once, at most kMaxCasterAddresses.
CasterAddress LookUpHostName(const std::string& name);

// The longest a host-name lookup may take; a slower one counts as unresolved.
inline constexpr std::uint32_t kNameLookupLimitMs = 10000;

// True when `text` can only be an address, never a host name: holding a ':' (IPv6, also in
// brackets) or made of digits and dots only (dotted IPv4). It may still be an invalid one.
bool IsAddressLiteral(std::string_view text);

// Text made of digits and dots only is a dotted IPv4 address with inet_addr's rules (never a
// host name: RFC 1123). Text holding a ':' is an IPv6 address, also in brackets ("[::1]").
// Either is used as it is, without a lookup. Any other text is a host name, which may begin
// with a digit ("4g-caster.example"), and is looked up with `lookup`. The lookup cannot be
// interrupted, so it runs on a thread of its own while the caller waits for it through `clock`
// in short steps: `stop` is seen within a step (kStopped), and a lookup that takes longer than
// kNameLookupLimitMs is given up (kUnresolved).
CasterAddress ResolveCasterAddress(std::string_view text, Clock& clock,
                                   const StopRequested& stop = {},
                                   const NameLookup& lookup = LookUpHostName);

}  // namespace quillon
