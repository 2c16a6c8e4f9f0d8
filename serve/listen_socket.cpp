#include "serve/listen_socket.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/system_error.h"

namespace quillon {
namespace {

std::string AddressText(const sockaddr_storage& address) {
  char text[INET6_ADDRSTRLEN] = {};
  if (address.ss_family == AF_INET6) {
    const auto& v6 = reinterpret_cast<const sockaddr_in6&>(address);
    inet_ntop(AF_INET6, &v6.sin6_addr, text, sizeof text);
    return "[" + std::string(text) + "]:" + std::to_string(ntohs(v6.sin6_port));
  }
  const auto& v4 = reinterpret_cast<const sockaddr_in&>(address);
  inet_ntop(AF_INET, &v4.sin_addr, text, sizeof text);
  return std::string(text) + ":" + std::to_string(ntohs(v4.sin_port));
}

// The socket address of `address`; false when its host is no literal address.
bool SocketAddress(const ListenAddress& address, bool ipv6Any, sockaddr_storage& out,
                   socklen_t& length) {
  out = {};
  auto& v6 = reinterpret_cast<sockaddr_in6&>(out);
  auto& v4 = reinterpret_cast<sockaddr_in&>(out);
  if (address.host.empty()) {
    if (ipv6Any) {
      v6.sin6_family = AF_INET6;
      v6.sin6_addr = in6addr_any;
    } else {
      v4.sin_family = AF_INET;
      v4.sin_addr.s_addr = htonl(INADDR_ANY);
    }
  } else if (inet_pton(AF_INET, address.host.c_str(), &v4.sin_addr) == 1) {
    v4.sin_family = AF_INET;
  } else if (inet_pton(AF_INET6, address.host.c_str(), &v6.sin6_addr) == 1) {
    v6.sin6_family = AF_INET6;
  } else {
    return false;
  }
  if (out.ss_family == AF_INET6) {
    v6.sin6_port = htons(address.port);
    length = sizeof v6;
  } else {
    v4.sin_port = htons(address.port);
    length = sizeof v4;
  }
  return true;
}

int OpenOn(const ListenAddress& address, bool ipv6Any, std::string& problem, int& failure) {
  sockaddr_storage socketAddress{};
  socklen_t length = 0;
  if (!SocketAddress(address, ipv6Any, socketAddress, length)) {
    problem = "not an IPv4 or IPv6 address";
    return -1;
  }
  const int fd = ::socket(socketAddress.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    failure = errno;
    problem = SystemErrorText(failure);
    return -1;
  }
  const int on = 1;
  const int off = 0;
  ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  if (socketAddress.ss_family == AF_INET6 && address.host.empty()) {
    ::setsockopt(fd, IPPROTO_IPV6, IPV6_V6ONLY, &off, sizeof off);
  }
  // A backlog that takes a burst of rovers coming back after the site's Wi-Fi returned.
  if (::bind(fd, reinterpret_cast<const sockaddr*>(&socketAddress), length) != 0 ||
      ::listen(fd, 1024) != 0) {
    failure = errno;
    problem = SystemErrorText(failure);
    ::close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int OpenListenSocket(const ListenAddress& address, std::string& problem) {
  int failure = 0;
  const int fd = OpenOn(address, true, problem, failure);
  if (fd >= 0 || !address.host.empty() || failure != EAFNOSUPPORT) return fd;
  return OpenOn(address, false, problem, failure);
}

std::string ListeningAt(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "?";
  return AddressText(address);
}

std::string PeerOf(int fd) {
  sockaddr_storage address{};
  socklen_t length = sizeof address;
  if (::getpeername(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) return "?";
  return AddressText(address);
}

}  // namespace quillon
