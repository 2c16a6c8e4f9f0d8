// Turning the caster address the user typed into an IPv4 address.
#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/system_error.h"
#include "platform/wait_step.h"

namespace quillon {

enum class AddressKind {
  kResolved,       // `address` holds the caster's address
  kInvalidDotted,  // not a host name and not a valid dotted address ("255.255.255.255" too)
  kUnresolved,     // a host name that does not resolve; `problem` says why
  kStopped,        // the caller asked to stop while the name was being looked up
};

struct CasterAddress {
  AddressKind kind = AddressKind::kUnresolved;
  in_addr address{};    // network byte order
  std::string problem;  // kUnresolved: the system's reason, such as "Name or service not known"
};

// A blocking host-name lookup: the first IPv4 address of `name`, or kUnresolved with the reason.
using NameLookup = std::function<CasterAddress(const std::string& name)>;

// The system's lookup (getaddrinfo).
CasterAddress LookUpHostName(const std::string& name);

// The longest a host-name lookup may take; a slower one counts as unresolved.
inline constexpr std::uint32_t kNameLookupLimitMs = 10000;

// A text whose first character is an ASCII letter is looked up as a host name (first IPv4
// address); any other text is read as a dotted address with inet_addr's rules, so a host name
// that begins with a digit is refused as an invalid dotted address. The lookup cannot be
// interrupted, so it runs on a thread of its own while the caller waits for it through `clock`
// in short steps: `stop` is seen within a step (kStopped), and a lookup that takes longer than
// kNameLookupLimitMs is given up (kUnresolved).
CasterAddress ResolveCasterAddress(std::string_view text, Clock& clock,
                                   const StopRequested& stop = {},
                                   const NameLookup& lookup = LookUpHostName);

}  // namespace quillon
