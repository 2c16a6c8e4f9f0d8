#include "net/tls_caster_stream.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <utility>

#include "common/guard.h"
#include "common/printable_text.h"
#include "net/address.h"
#include "net/openssl_library.h"
#include "platform/system_error.h"

namespace quillon {
namespace {

// Holds SIGPIPE back on this thread while the library writes to the socket: it writes with
// write(), which raises the signal when the caster has gone, and that must not end the process
// (the command line ignores the signal; other callers may not). A signal raised meanwhile is
// taken off before the mask is put back.
class SigpipeHeldBack {
 public:
  SigpipeHeldBack() {
    sigemptyset(&pipe_);
    sigaddset(&pipe_, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    sigset_t pending;
    wasPending_ = sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1;
  }
  ~SigpipeHeldBack() {
    const int saved = errno;
    sigset_t pending;
    if (!wasPending_ && sigpending(&pending) == 0 && sigismember(&pending, SIGPIPE) == 1) {
      const timespec none{};
      while (sigtimedwait(&pipe_, nullptr, &none) < 0 && errno == EINTR) {
      }
    }
    pthread_sigmask(SIG_SETMASK, &before_, nullptr);
    errno = saved;
  }
  SigpipeHeldBack(const SigpipeHeldBack&) = delete;
  SigpipeHeldBack& operator=(const SigpipeHeldBack&) = delete;

 private:
  sigset_t pipe_;
  sigset_t before_;
  bool wasPending_ = false;
};

// The library's objects for one connection, freed together.
struct TlsObjects {
  explicit TlsObjects(const OpenSsl& library) : api(library) {}
  ~TlsObjects() {
    if (ssl != nullptr) api.SSL_free(ssl);
    if (context != nullptr) api.SSL_CTX_free(context);
  }
  TlsObjects(const TlsObjects&) = delete;
  TlsObjects& operator=(const TlsObjects&) = delete;

  const OpenSsl& api;
  SSL_CTX* context = nullptr;
  SSL* ssl = nullptr;
};

// What one call into the library came to, read from SSL_get_error in this one place (as
// chrony's TLS_AGAIN_INPUT and TLS_AGAIN_OUTPUT): the caller goes on, waits for the readiness
// named, or ends.
enum class Step { kDone, kAgain, kClosed, kFailed };

struct Outcome {
  int result = 0;  // the call's own result
  Step step = Step::kDone;
  Readiness awaits = Readiness::kWritable;  // kAgain: what the socket must be ready for
  // kFailed: the error number the stream reports: the system's, EPIPE when the caster closed
  // the connection under the call, EPROTO when the library itself refused (its reason queued).
  int error = 0;
};

Outcome Classify(int result, int libraryError, int systemError) {
  Outcome outcome{.result = result};
  if (result > 0) return outcome;
  switch (libraryError) {
    case SSL_ERROR_WANT_READ:
    case SSL_ERROR_WANT_WRITE:
      outcome.step = Step::kAgain;
      outcome.awaits =
          libraryError == SSL_ERROR_WANT_READ ? Readiness::kReadable : Readiness::kWritable;
      break;
    case SSL_ERROR_ZERO_RETURN:  // a close_notify, or (SSL_OP_IGNORE_UNEXPECTED_EOF) the TCP end
      outcome.step = Step::kClosed;
      break;
    case SSL_ERROR_SYSCALL:
      outcome.step = Step::kFailed;
      outcome.error = systemError != 0 ? systemError : EPIPE;
      break;
    default:
      outcome.step = Step::kFailed;
      outcome.error = EPROTO;
  }
  return outcome;
}

// Calls `call` (which returns as SSL_connect, SSL_read and SSL_write do) with a clean error
// queue and SIGPIPE held back.
template <typename Call>
Outcome CallLibrary(const OpenSsl& api, SSL* ssl, Call call) {
  api.ERR_clear_error();
  SigpipeHeldBack held;
  errno = 0;
  const int result = call();
  const int systemError = errno;
  return Classify(result, result > 0 ? SSL_ERROR_NONE : api.SSL_get_error(ssl, result),
                  systemError);
}

// The library's reason for its last failure as printable text; `otherwise` when it gave none.
std::string LibraryReason(const OpenSsl& api, std::string otherwise) {
  const unsigned long code = api.ERR_get_error();
  if (code == 0) return otherwise;
  char text[256] = {};
  api.ERR_error_string_n(code, text, sizeof text);
  return PrintableText(text);
}

// Why a call ended as `outcome` (kClosed or kFailed): the library's reason, or the system's.
std::string FailureReason(const OpenSsl& api, const Outcome& outcome) {
  if (outcome.step == Step::kFailed && outcome.error != EPIPE && outcome.error != EPROTO) {
    return LibraryReason(api, SystemErrorText(outcome.error));
  }
  return LibraryReason(api, "the caster closed the connection");
}

class TlsCasterStream final : public CasterStream {
 public:
  TlsCasterStream(CasterSocket& socket, std::unique_ptr<TlsObjects> objects)
      : CasterStream(socket), objects_(std::move(objects)) {}
  ~TlsCasterStream() override { Close(); }

  ssize_t ReadReady(std::span<char> buffer) override;
  bool HoldsReadyBytes() const override {
    return objects_ != nullptr && objects_->api.SSL_pending(objects_->ssl) > 0;
  }
  ssize_t SendReady(std::string_view data) override;
  void Close() override;

 private:
  Readiness SendAwaits() const override { return awaits_; }

  enum class Direction { kRead, kSend };
  // One library read or write as a system call's result: bytes moved, 0 at the end of a read,
  // or -1 with errno (EAGAIN while the library waits for the socket).
  template <typename LibraryCall>
  ssize_t MoveReady(std::size_t length, Direction direction, LibraryCall call);

  std::unique_ptr<TlsObjects> objects_;
  // What the last call that could not go on waits for.
  Readiness awaits_ = Readiness::kWritable;
  // After a fatal error the library must not be asked for a polite close.
  bool failed_ = false;
};

ssize_t TlsCasterStream::ReadReady(std::span<char> buffer) {
  return MoveReady(buffer.size(), Direction::kRead, [&](const OpenSsl& api, int size) {
    return api.SSL_read(objects_->ssl, buffer.data(), size);
  });
}

ssize_t TlsCasterStream::SendReady(std::string_view data) {
  return MoveReady(data.size(), Direction::kSend, [&](const OpenSsl& api, int size) {
    return api.SSL_write(objects_->ssl, data.data(), size);
  });
}

template <typename LibraryCall>
ssize_t TlsCasterStream::MoveReady(std::size_t length, Direction direction, LibraryCall call) {
  if (objects_ == nullptr) {
    errno = EBADF;
    return -1;
  }
  if (length == 0) return 0;
  const OpenSsl& api = objects_->api;
  const int size = static_cast<int>(std::min<std::size_t>(length, INT_MAX));
  const Outcome moved = CallLibrary(api, objects_->ssl, [&] { return call(api, size); });
  const bool reading = direction == Direction::kRead;
  switch (moved.step) {
    case Step::kDone:
      return moved.result;
    case Step::kAgain:
      awaits_ = moved.awaits;
      errno = EAGAIN;
      return -1;
    case Step::kClosed:
      if (reading) return 0;
      failed_ = true;
      errno = EPIPE;
      return -1;
    case Step::kFailed:
      break;
  }
  failed_ = true;
  if (moved.error == EPROTO) {
    Trace(std::string(reading ? "Reading from" : "Sending to") +
          " the caster over TLS failed: " + FailureReason(api, moved));
  }
  errno = moved.error;
  return -1;
}

void TlsCasterStream::Close() {
  // A close_notify goes out when the socket has room for it; the caster's is never awaited.
  // Not on a descriptor that was closed under the stream (its number may be another's now).
  if (objects_ != nullptr && !failed_ && OwnConnection()) {
    const OpenSsl& api = objects_->api;
    CallLibrary(api, objects_->ssl, [&] { return api.SSL_shutdown(objects_->ssl); });
  }
  objects_.reset();
  CloseSocket();
}

TlsStart Ended(TlsEnd end, std::string problem = {}) {
  TlsStart start;
  start.end = end;
  start.problem = std::move(problem);
  return start;
}

// Trusts the system's authorities and `options.caFile`, or nothing is checked when insecure.
// Empty when done, otherwise the problem.
std::string SetUpTrust(const OpenSsl& api, SSL_CTX* context, const TlsOptions& options) {
  if (options.insecure) {
    api.SSL_CTX_set_verify(context, SSL_VERIFY_NONE, nullptr);
    return {};
  }
  // A system without a trust store leaves only the authority file; verification says so.
  api.SSL_CTX_set_default_verify_paths(context);
  api.ERR_clear_error();
  if (!options.caFile.empty() &&
      api.SSL_CTX_load_verify_locations(context, options.caFile.c_str(), nullptr) != 1) {
    return "The authority file " + PrintableText(options.caFile) +
           " could not be loaded: " + LibraryReason(api, "it holds no PEM certificate");
  }
  api.SSL_CTX_set_verify(context, SSL_VERIFY_PEER, nullptr);
  return {};
}

// Names the caster for SNI and verification: `host` as typed when it is a name, the address
// connected to when it is one (without an IPv6 zone, which no certificate holds).
bool SetPeer(const OpenSsl& api, SSL* ssl, std::string_view host, const IpAddress& peer) {
  if (IsAddressLiteral(host)) {
    std::string ip = peer.Text();
    ip = ip.substr(0, ip.find('%'));
    return api.X509_VERIFY_PARAM_set1_ip_asc(api.SSL_get0_param(ssl), ip.c_str()) == 1;
  }
  std::string name(host.substr(0, std::min(host.find('\0'), host.size())));
  if (name.ends_with('.')) name.pop_back();  // the root's dot is no part of a certificate's name
  api.SSL_set_hostflags(ssl, X509_CHECK_FLAG_NO_PARTIAL_WILDCARDS);
  const long sni =
      api.SSL_ctrl(ssl, SSL_CTRL_SET_TLSEXT_HOSTNAME, TLSEXT_NAMETYPE_host_name, name.data());
  return sni == 1 && api.SSL_set1_host(ssl, name.c_str()) == 1;
}

// The library's objects for a client connection on `fd` to `host`, or the problem.
std::unique_ptr<TlsObjects> SetUp(const OpenSsl& api, int fd, std::string_view host,
                                  const IpAddress& peer, const TlsOptions& options,
                                  std::string& problem) {
  api.ERR_clear_error();
  auto objects = std::make_unique<TlsObjects>(api);
  objects->context = api.SSL_CTX_new(api.TLS_client_method());
  if (objects->context == nullptr) {
    problem = "TLS could not be set up: " + LibraryReason(api, "the library refused");
    return nullptr;
  }
  problem = SetUpTrust(api, objects->context, options);
  if (!problem.empty()) return nullptr;
  // A send that the socket takes only in part returns with what went out, and may be offered
  // again from where the caller's data now is; a caster that closes without a close_notify has
  // simply closed.
  api.SSL_CTX_ctrl(objects->context, SSL_CTRL_MODE,
                   SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER, nullptr);
  api.SSL_CTX_set_options(objects->context, SSL_OP_IGNORE_UNEXPECTED_EOF);
  objects->ssl = api.SSL_new(objects->context);
  if (objects->ssl == nullptr || !SetPeer(api, objects->ssl, host, peer) ||
      api.SSL_set_fd(objects->ssl, fd) != 1) {
    problem = "TLS could not be set up for " + PrintableText(host) + ": " +
              LibraryReason(api, "the library refused the name");
    return nullptr;
  }
  return objects;
}

}  // namespace

TlsStart StartTls(CasterSocket& socket, std::string_view host, const CasterConnect& connect,
                  const TlsOptions& options, Clock& clock, std::uint32_t limitMs,
                  const StopRequested& stop) {
  const std::uint32_t start = clock.TickCount();
  std::string problem;
  const OpenSsl* api = LoadOpenSsl(options.library, problem);
  if (api == nullptr) {
    return Ended(TlsEnd::kNoLibrary, "TLS needs OpenSSL's libssl3: " + PrintableText(problem));
  }
  const int fd = socket.Get();
  std::unique_ptr<TlsObjects> objects = SetUp(*api, fd, host, connect.peer, options, problem);
  if (objects == nullptr) return Ended(TlsEnd::kSetupFailed, problem);
  const int flags = fcntl(fd, F_GETFL);
  if (flags < 0 || fcntl(fd, F_SETFL, flags | O_NONBLOCK) < 0) {
    return Ended(TlsEnd::kSetupFailed, "TLS could not be set up: " + SystemErrorText(errno));
  }

  const std::string failedWith = "TLS handshake with " + PrintableText(host) + " failed: ";
  for (;;) {
    const Outcome step =
        CallLibrary(*api, objects->ssl, [&] { return api->SSL_connect(objects->ssl); });
    if (step.step == Step::kDone) break;
    if (step.step == Step::kAgain) {
      const int error =
          WaitReadyInSteps(clock, fd, step.awaits, TimeLeft(clock, start, limitMs), stop);
      if (error == ECANCELED) return Ended(TlsEnd::kStopped);
      if (error != 0) return Ended(TlsEnd::kHandshakeFailed, failedWith + SystemErrorText(error));
      continue;
    }
    // The stop sequence shuts the socket down under a handshake: that is a stop, not a failure.
    if (stop && stop()) return Ended(TlsEnd::kStopped);
    // Unchecked, the certificate's verdict is still recorded, but it is not why the handshake
    // failed.
    if (const long verified = api->SSL_get_verify_result(objects->ssl);
        !options.insecure && verified != X509_V_OK) {
      return Ended(TlsEnd::kCertificateRefused,
                   "The caster's certificate was not accepted: " +
                       PrintableText(api->X509_verify_cert_error_string(verified)));
    }
    return Ended(TlsEnd::kHandshakeFailed, failedWith + FailureReason(*api, step));
  }
  TlsStart established = Ended(TlsEnd::kEstablished);
  established.stream = std::make_unique<TlsCasterStream>(socket, std::move(objects));
  return established;
}

}  // namespace quillon
