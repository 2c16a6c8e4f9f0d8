// Logging in to a caster, as the Rover and the Base both do: connect, send the request, and
// gather the reply until its first line is complete. What that line means, and what each way of
// ending is called, is each worker's own rule; the steps themselves are here once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/address.h"
#include "net/caster_connection.h"
#include "net/caster_socket.h"
#include "net/caster_stream.h"
#include "net/tls_options.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

// The longest a caster may take to answer a login before it counts as silent.
inline constexpr std::uint32_t kLoginReplyWindowMs = 6000;
// The most of a reply that is gathered: a first line this long without a line end is judged as
// it stands.
inline constexpr std::size_t kLoginReplyLimit = 2000;

enum class LoginEnd {
  kNotConnected,  // the connect failed or found no address: `connect` says how
  kTlsFailed,     // connected, but TLS was not established: `tlsProblem` says which step and why
  kConnected,     // no request was given: connected, nothing sent, no reply awaited
  kSendFailed,    // the request did not go out (`error`; ETIMEDOUT: the caster took none of it)
  kReplied,       // the reply's first line is complete
  kClosed,        // the caster closed the connection before its first line was complete
  kSilent,        // the window passed before the first line was complete
  kReadFailed,    // reading the reply failed (`error`)
  kStopped,       // `stop` asked to give up
};

struct CasterLogin {
  LoginEnd end = LoginEnd::kStopped;
  CasterConnect connect;
  int error = 0;
  std::string received;       // every byte read, at most kLoginReplyLimit
  std::size_t lineBegin = 0;  // the reply's first line: behind empty lines and interim replies
  std::size_t lineEnd = 0;    // kReplied: behind the first line's LF (or the whole, when cut)
  std::string tlsProblem;     // kTlsFailed: the failed TLS step and the library's reason
  // The caster, plain or over TLS, once connected (and TLS established): what the worker reads
  // and sends through after the login. It uses the socket the login was given.
  std::shared_ptr<CasterStream> stream;

  // Finds the reply's first line in `received` (lineBegin, lineEnd): behind any empty lines and
  // any interim replies (HTTP 1xx heads, which a server may send before its answer). True when
  // that line is complete: its LF has come, or `received` holds kLoginReplyLimit bytes.
  bool FindFirstLine();

  // What came from the first line on: the reply without what came before it.
  std::string_view Reply() const;

  // The reply's first line with its line end, such as "ICY 200 OK\r\n"; what came of it when
  // the line was not completed.
  std::string_view StatusLine() const;
  // What came in the same reads behind the first line: the start of the stream, or headers.
  std::string_view AfterStatusLine() const;
};

// How much of the reply a login gathers before it is judged.
enum class ReplyExtent {
  kFirstLine,  // NTRIP version 1: the first line
  // NTRIP version 2: an HTTP status line with its header lines, up to the empty line; a first
  // line of another kind (such as a version 1 caster's "ICY 200 OK") alone.
  kHead,
};

// Connects to `address` and `port` within kCasterConnectLimitMs (ConnectCasterStream, into
// `socket`, with the TLS handshake inside that limit when `tls.enabled`), sends `request` within
// kSendStallLimitMs, then reads until the reply is complete to `extent` (kReplied; also when
// kLoginReplyLimit bytes came first), the caster closes, a read fails, kLoginReplyWindowMs have
// passed or `stop` asks to give up; each wait goes through `clock` in steps. An empty `request`
// ends at the connect (kConnected). The socket is left open whatever the end, for the caller to
// close by its rules.
CasterLogin LogInToCaster(std::string_view address, std::int32_t port, std::string_view request,
                          CasterSocket& socket, Clock& clock, const StopRequested& stop,
                          const NameLookup& lookup = LookUpHostName,
                          ReplyExtent extent = ReplyExtent::kFirstLine, const TlsOptions& tls = {});

// What a login reply that failed or that a worker did not accept tells the user, as one
// sentence: that reading it failed and why, that the caster closed or stayed silent, that it
// speaks NTRIP version 2 only, that it refused the user name or password, that it sent its
// source table, or its first line quoted.
std::string DescribeLoginReply(const CasterLogin& login);

}  // namespace quillon
