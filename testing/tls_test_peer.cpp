#include "testing/tls_test_peer.h"

#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <openssl/pem.h>
#include <poll.h>
#include <pthread.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <memory>
#include <stdexcept>

namespace quillon::testing {
namespace {

void Check(bool done, const std::string& what) {
  if (!done) throw std::runtime_error("test peer: " + what);
}

int Listen(const std::string& address, std::uint16_t wanted, std::uint16_t& port) {
  addrinfo hints{};
  hints.ai_flags = AI_NUMERICHOST;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  Check(getaddrinfo(address.c_str(), std::to_string(wanted).c_str(), &hints, &found) == 0,
        "address " + address);
  const int fd = socket(found->ai_family, SOCK_STREAM | SOCK_CLOEXEC, 0);
  const int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
  sockaddr_storage own{};
  socklen_t length = sizeof own;
  const bool listening = fd >= 0 && bind(fd, found->ai_addr, found->ai_addrlen) == 0 &&
                         listen(fd, 8) == 0 &&
                         getsockname(fd, reinterpret_cast<sockaddr*>(&own), &length) == 0;
  freeaddrinfo(found);
  if (!listening && fd >= 0) close(fd);
  Check(listening, "listen on " + address);
  // sin_port and sin6_port sit at the same place.
  port = ntohs(reinterpret_cast<sockaddr_in*>(&own)->sin_port);
  return fd;
}

SSL_CTX* ServerContext(const KeyAndCertificate& identity) {
  SSL_CTX* context = SSL_CTX_new(TLS_server_method());
  Check(context != nullptr, "context");
  std::unique_ptr<BIO, decltype(&BIO_free)> certificate(
      BIO_new_mem_buf(identity.certificate.data(), static_cast<int>(identity.certificate.size())),
      BIO_free);
  std::unique_ptr<BIO, decltype(&BIO_free)> key(
      BIO_new_mem_buf(identity.key.data(), static_cast<int>(identity.key.size())), BIO_free);
  X509* x509 = PEM_read_bio_X509(certificate.get(), nullptr, nullptr, nullptr);
  EVP_PKEY* pkey = PEM_read_bio_PrivateKey(key.get(), nullptr, nullptr, nullptr);
  const bool used = x509 != nullptr && pkey != nullptr &&
                    SSL_CTX_use_certificate(context, x509) == 1 &&
                    SSL_CTX_use_PrivateKey(context, pkey) == 1;
  X509_free(x509);
  EVP_PKEY_free(pkey);
  if (!used) SSL_CTX_free(context);
  Check(used, "certificate and key");
  return context;
}

}  // namespace

TlsTestPeer::TlsTestPeer(TlsPeerConfig config) : config_(std::move(config)) {
  Check(pipe2(stopPipe_, O_CLOEXEC) == 0, "pipe");
  try {
    if (!config_.identity.certificate.empty()) context_ = ServerContext(config_.identity);
    listenFd_ = Listen(config_.address, config_.port, port_);
  } catch (...) {
    if (context_ != nullptr) SSL_CTX_free(context_);
    close(stopPipe_[0]);
    close(stopPipe_[1]);
    throw;
  }
  thread_ = std::thread([this] { Run(); });
}

TlsTestPeer::~TlsTestPeer() {
  stopping_.store(true);
  [[maybe_unused]] const ssize_t written = write(stopPipe_[1], "x", 1);
  {
    std::lock_guard lock(mutex_);
    if (servedFd_ >= 0) shutdown(servedFd_, SHUT_RDWR);
  }
  thread_.join();
  close(listenFd_);
  close(stopPipe_[0]);
  close(stopPipe_[1]);
  if (context_ != nullptr) SSL_CTX_free(context_);
}

std::string TlsTestPeer::ServerName() const {
  std::lock_guard lock(mutex_);
  return serverName_;
}

bool TlsTestPeer::WaitForPoliteEnds(int count) const {
  std::unique_lock lock(mutex_);
  return ended_.wait_for(lock, std::chrono::seconds(5), [&] { return politeEnds_ >= count; });
}

void TlsTestPeer::Run() {
  // A client that has gone makes our writes fail with EPIPE rather than end the test.
  sigset_t pipe;
  sigemptyset(&pipe);
  sigaddset(&pipe, SIGPIPE);
  pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
  while (!stopping_.load()) {
    std::array<pollfd, 2> waits{{{listenFd_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}}};
    if (poll(waits.data(), waits.size(), -1) < 0 || waits[1].revents != 0) break;
    const int fd = accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0) continue;
    {
      std::lock_guard lock(mutex_);
      servedFd_ = fd;
    }
    if (!stopping_.load()) Serve(fd);
    std::lock_guard lock(mutex_);
    servedFd_ = -1;
    close(fd);
  }
}

void TlsTestPeer::Serve(int fd) {
  if (config_.behaviour == PeerBehaviour::kSilent) return WaitForStop();
  if (context_ != nullptr) return ServeTls(fd);
  if (config_.behaviour == PeerBehaviour::kEcho) return Echo(fd);
  WaitForStop();
}

void TlsTestPeer::ServeTls(int fd) {
  SSL* ssl = SSL_new(context_);
  if (ssl == nullptr) return;
  SSL_set_fd(ssl, fd);
  if (config_.behaviour == PeerBehaviour::kDemandClientCertificate) {
    SSL_set_max_proto_version(ssl, TLS1_2_VERSION);
    SSL_set_verify(ssl, SSL_VERIFY_PEER | SSL_VERIFY_FAIL_IF_NO_PEER_CERT, nullptr);
  }
  if (SSL_accept(ssl) == 1) {
    {
      std::lock_guard lock(mutex_);
      const char* name = SSL_get_servername(ssl, TLSEXT_NAMETYPE_host_name);
      serverName_ = name != nullptr ? name : "";
    }
    if (config_.behaviour == PeerBehaviour::kForward) {
      Forward(ssl, fd);
    } else if (config_.behaviour == PeerBehaviour::kEcho) {
      std::array<char, 16384> buffer;
      int got;
      while ((got = SSL_read(ssl, buffer.data(), static_cast<int>(buffer.size()))) > 0) {
        if (SSL_write(ssl, buffer.data(), got) != got) break;
      }
      if ((SSL_get_shutdown(ssl) & SSL_RECEIVED_SHUTDOWN) != 0) {
        std::lock_guard lock(mutex_);
        ++politeEnds_;
        ended_.notify_all();
      }
    } else {
      WaitForStop();
    }
  }
  SSL_free(ssl);
}

void TlsTestPeer::Forward(SSL* ssl, int fd) {
  const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(config_.forwardPort);
  to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  if (server < 0 || connect(server, reinterpret_cast<sockaddr*>(&to), sizeof to) != 0) {
    if (server >= 0) close(server);
    return;
  }
  std::array<char, 16384> buffer;
  for (bool open = true; open && !stopping_.load();) {
    std::array<pollfd, 3> waits{{{fd, POLLIN, 0}, {server, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}}};
    if (SSL_pending(ssl) == 0 && poll(waits.data(), waits.size(), -1) < 0) break;
    if (waits[2].revents != 0) break;
    if (SSL_pending(ssl) > 0 || waits[0].revents != 0) {
      const int got = SSL_read(ssl, buffer.data(), static_cast<int>(buffer.size()));
      open = got > 0 &&
             send(server, buffer.data(), static_cast<std::size_t>(got), MSG_NOSIGNAL) == got;
    }
    if (open && waits[1].revents != 0) {
      const ssize_t got = recv(server, buffer.data(), buffer.size(), 0);
      open = got > 0 && SSL_write(ssl, buffer.data(), static_cast<int>(got)) == got;
      if (got == 0) SSL_shutdown(ssl);
    }
  }
  close(server);
}

void TlsTestPeer::Echo(int fd) {
  std::array<char, 16384> buffer;
  ssize_t got;
  while ((got = recv(fd, buffer.data(), buffer.size(), 0)) > 0) {
    for (ssize_t sent = 0; sent < got;) {
      const ssize_t count =
          send(fd, buffer.data() + sent, static_cast<std::size_t>(got - sent), MSG_NOSIGNAL);
      if (count <= 0) return;
      sent += count;
    }
  }
}

void TlsTestPeer::WaitForStop() const {
  pollfd stop{stopPipe_[0], POLLIN, 0};
  while (poll(&stop, 1, -1) < 0 && errno == EINTR) {
  }
}

}  // namespace quillon::testing
