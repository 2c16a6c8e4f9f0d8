// A caster that answers a login and then does only what the test does with its connection: left
// alone it never reads, and with its small window a client's bytes soon wait in the client's
// own send buffer, accepted by its kernel and never acknowledged.
#pragma once

#include <atomic>
#include <string>
#include <string_view>

namespace quillon::testing {

class ManualCaster {
 public:
  // `reply`: what a login gets, such as "OK\r\n" (a server's) or "ICY 200 OK\r\n" (a client's).
  // `smallWindow`: a receive buffer of a few kB; otherwise the system's.
  explicit ManualCaster(std::string reply, bool smallWindow = true);
  ~ManualCaster();
  ManualCaster(const ManualCaster&) = delete;
  ManualCaster& operator=(const ManualCaster&) = delete;

  int Port() const { return port_; }
  bool LoggedIn() const { return connection_.load() >= 0; }

  // Accepts a connect that waits, takes its request (what has come of it) and answers it, once:
  // call it where the client waits for the reply (a hook of its clock).
  void Answer();
  // Sends `bytes` to the client (a caster that still streams corrections); false when it cannot.
  bool SendToClient(std::string_view bytes);
  // The answered connection, for the test to read and write itself; -1 before Answer.
  int Connection() const { return connection_.load(); }
  // Closes the connection: a send blocked on it fails.
  void Drop();

 private:
  const std::string reply_;
  const int listener_;
  int port_ = 0;
  std::atomic<int> connection_{-1};
};

// Waits (in real time) until what the caster has not acknowledged of `socket`'s bytes has stayed
// the same for 200 ms: the caster's last, delayed acknowledgements have come. A test that then
// runs virtual time fast sees the caster's stall begin there. Fails the test when everything was
// acknowledged.
void WaitUntilAcknowledgementsSettle(int socket);

}  // namespace quillon::testing
