// A caster that never accepts: a socket listening on 127.0.0.1 whose accept queue is kept full
// by a connect of its own, so the kernel drops every further SYN and a client's connect hangs
// while its SYNs are retried, until the client gives up or shuts its socket down.
#pragma once

#include <cstdint>

namespace quillon::testing {

class HangingListener {
 public:
  // Fails the current test when the socket cannot be set up (Port() is then 0).
  HangingListener();
  ~HangingListener();
  HangingListener(const HangingListener&) = delete;
  HangingListener& operator=(const HangingListener&) = delete;

  // The port that hangs (host byte order); other sockets may listen on it at other addresses.
  std::uint16_t Port() const { return port_; }

 private:
  int listener_ = -1;
  int filler_ = -1;  // our own connect that holds the one place in the queue
  std::uint16_t port_ = 0;
};

}  // namespace quillon::testing
