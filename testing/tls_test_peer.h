// The far end of a caster stream for the tests and benchmarks: a server on a thread that speaks
// TLS with a given certificate (or plain TCP without one), one connection at a time.
#pragma once

#include <openssl/ssl.h>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <string>
#include <thread>

#include "testing/test_certificates.h"

namespace quillon::testing {

enum class PeerBehaviour {
  kEcho,       // sends back every byte it receives, until the client closes
  kSilent,     // accepts the TCP connection and says nothing, not even a TLS handshake
  kNeverRead,  // completes the handshake, then never reads: the client's sends stall
  // Over TLS 1.2, asks for the client's certificate and ends the handshake without one: it
  // fails after the client has seen the peer's certificate.
  kDemandClientCertificate,
  // A TLS front for a plain server on this machine (`forwardPort`), as HTTPS casters often
  // are: bytes pass both ways until either side closes.
  kForward,
};

struct TlsPeerConfig {
  KeyAndCertificate identity;  // empty certificate: plain TCP
  PeerBehaviour behaviour = PeerBehaviour::kEcho;
  std::string address = "127.0.0.1";
  std::uint16_t port = 0;         // 0: one the system picks
  std::uint16_t forwardPort = 0;  // kForward: the plain server's port on 127.0.0.1
};

class TlsTestPeer {
 public:
  // Listens at once; throws std::runtime_error when it cannot.
  explicit TlsTestPeer(TlsPeerConfig config);
  // Ends the connection being served and joins the thread.
  ~TlsTestPeer();
  TlsTestPeer(const TlsTestPeer&) = delete;
  TlsTestPeer& operator=(const TlsTestPeer&) = delete;

  std::uint16_t Port() const { return port_; }
  // The server name (SNI) the last completed handshake carried; empty when none.
  std::string ServerName() const;
  // Waits (up to 5 real seconds) until `count` TLS connections have ended with the client's
  // close_notify; false when they have not.
  bool WaitForPoliteEnds(int count) const;

 private:
  void Run();
  void Serve(int fd);
  void ServeTls(int fd);
  void Echo(int fd);
  void Forward(SSL* ssl, int fd);
  void WaitForStop() const;

  const TlsPeerConfig config_;
  SSL_CTX* context_ = nullptr;  // when it speaks TLS
  int listenFd_ = -1;
  int stopPipe_[2] = {-1, -1};
  std::uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable ended_;
  int politeEnds_ = 0;      // guarded by mutex_
  int servedFd_ = -1;       // guarded by mutex_: shut down by the destructor to end a blocked call
  std::string serverName_;  // guarded by mutex_
  std::thread thread_;
};

}  // namespace quillon::testing
