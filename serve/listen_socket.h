// Where one of the program's own listeners takes its clients: an address and a port, or a port
// on every address of the machine.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

// The clients a listener takes unless told otherwise, and the most it may be told.
inline constexpr std::size_t kDefaultMaxClients = 100;
inline constexpr std::size_t kMostMaxClients = 10000;

struct ListenAddress {
  std::string host;        // a literal IPv4 or IPv6 address; empty: every address, IPv6 and IPv4
  std::uint16_t port = 0;  // 0: one the system picks (tests)
};

// A bound, listening, non-blocking socket for `address`; -1 with `problem` set to the system's
// reason ("Address already in use") otherwise. Every address is one IPv6 socket that takes IPv4
// clients too, or an IPv4 one on a machine without IPv6.
int OpenListenSocket(const ListenAddress& address, std::string& problem);

// Where `fd` listens, as a start line shows it: "[::]:2101", "127.0.0.1:2101".
std::string ListeningAt(int fd);
// The far end of a connected socket, as a line about a client names it.
std::string PeerOf(int fd);

}  // namespace quillon
