#include "net/address.h"

#include <arpa/inet.h>
#include <netdb.h>
#include <sys/socket.h>

#include <cstring>

namespace quillon {
namespace {

bool IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

CasterAddress ResolveCasterAddress(std::string_view text) {
  const std::string name(text.substr(0, std::min(text.find('\0'), text.size())));
  CasterAddress result;
  if (!name.empty() && IsAsciiLetter(name.front())) {
    addrinfo hints{};
    hints.ai_family = AF_INET;
    hints.ai_socktype = SOCK_STREAM;
    addrinfo* list = nullptr;
    if (getaddrinfo(name.c_str(), nullptr, &hints, &list) == 0 && list != nullptr) {
      result.kind = AddressKind::kResolved;
      result.address = reinterpret_cast<const sockaddr_in*>(list->ai_addr)->sin_addr;
    }
    if (list != nullptr) freeaddrinfo(list);
    return result;
  }
  const in_addr_t dotted = inet_addr(name.c_str());
  if (dotted == INADDR_NONE) {
    result.kind = AddressKind::kInvalidDotted;
    return result;
  }
  result.kind = AddressKind::kResolved;
  result.address.s_addr = dotted;
  return result;
}

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  // GNU strerror_r returns the text, which may or may not be in the buffer.
  const char* text = strerror_r(error, buffer, sizeof buffer);
  return text != nullptr ? text : "";
}

}  // namespace quillon
