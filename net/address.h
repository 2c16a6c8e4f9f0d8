// Turning the caster address the user typed into an IPv4 address.
#pragma once

#include <netinet/in.h>

#include <string>
#include <string_view>

namespace quillon {

enum class AddressKind {
  kResolved,       // `address` holds the caster's address
  kInvalidDotted,  // not a host name and not a valid dotted address ("255.255.255.255" too)
  kUnresolved,     // a host name that does not resolve; `address` is 0.0.0.0
};

struct CasterAddress {
  AddressKind kind = AddressKind::kUnresolved;
  in_addr address{};  // network byte order
};

// A text whose first character is an ASCII letter is looked up as a host name (first IPv4
// address); any other text is read as a dotted address with inet_addr's rules, so a host name
// that begins with a digit is refused as an invalid dotted address.
CasterAddress ResolveCasterAddress(std::string_view text);

// The system's text for an error number, as the messages show it.
std::string SystemErrorText(int error);

}  // namespace quillon
