#include "ntrip/caster_login.h"

#include <algorithm>
#include <cerrno>
#include <span>

#include "net/caster_stream_connect.h"
#include "ntrip/reply.h"
#include "ntrip/reply_head.h"
#include "platform/system_error.h"

namespace quillon {
namespace {

// Finds the first line of what was received, behind any empty lines. True when it is complete:
// its LF has come, or the reply filled the whole store without one.
bool FindFirstLine(CasterLogin& login) {
  const std::string& text = login.received;
  login.lineBegin = std::min(text.find_first_not_of("\r\n"), text.size());
  const std::size_t lf = text.find('\n', login.lineBegin);
  login.lineEnd = lf == std::string::npos ? text.size() : lf + 1;
  return lf != std::string::npos || text.size() >= kLoginReplyLimit;
}

// Reads what has arrived, into the rest of the store. The count, 0 when the caster has closed,
// -1 when the read failed (errno kept; EAGAIN when nothing was there after all).
ssize_t ReadMore(CasterStream& stream, std::string& store) {
  const std::size_t before = store.size();
  store.resize(kLoginReplyLimit);
  const ssize_t got = stream.ReadReady(std::span(store).subspan(before));
  const int error = errno;
  store.resize(before + static_cast<std::size_t>(std::max<ssize_t>(got, 0)));
  errno = error;
  return got;
}

// True once the reply is complete to `extent`, or fills the store.
bool ReplyComplete(CasterLogin& login, ReplyExtent extent) {
  if (!FindFirstLine(login)) return false;
  if (extent == ReplyExtent::kFirstLine || HttpStatusCode(login.StatusLine()) == 0) return true;
  return ParseReplyHead(login.Reply()).has_value() || login.received.size() >= kLoginReplyLimit;
}

LoginEnd GatherReply(CasterStream& stream, Clock& clock, const StopRequested& stop,
                     ReplyExtent extent, CasterLogin& login) {
  const std::uint32_t start = clock.TickCount();
  for (;;) {
    const std::uint32_t passed = clock.TickCount() - start;
    if (passed >= kLoginReplyWindowMs) return LoginEnd::kSilent;
    const WaitEnd waited = stream.WaitReadable(clock, kLoginReplyWindowMs - passed, stop);
    if (waited == WaitEnd::kStopped) return LoginEnd::kStopped;
    if (waited == WaitEnd::kTimedOut) return LoginEnd::kSilent;
    const ssize_t got = waited == WaitEnd::kReady ? ReadMore(stream, login.received) : -1;
    if (got == 0) return LoginEnd::kClosed;
    if (got < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      login.error = errno;
      return LoginEnd::kReadFailed;
    }
    if (got > 0 && ReplyComplete(login, extent)) return LoginEnd::kReplied;
  }
}

}  // namespace

std::string_view CasterLogin::StatusLine() const {
  return std::string_view(received).substr(lineBegin, lineEnd - lineBegin);
}

std::string_view CasterLogin::Reply() const { return std::string_view(received).substr(lineBegin); }

std::string_view CasterLogin::AfterStatusLine() const {
  return std::string_view(received).substr(lineEnd);
}

CasterLogin LogInToCaster(std::string_view address, std::int32_t port, std::string_view request,
                          CasterSocket& socket, Clock& clock, const StopRequested& stop,
                          const NameLookup& lookup, ReplyExtent extent, const TlsOptions& tls) {
  CasterLogin login;
  StreamConnect connected =
      ConnectCasterStream(address, port, tls, socket, clock, kCasterConnectLimitMs, stop, lookup);
  login.connect = connected.connect;
  if (connected.Stopped()) {
    login.end = LoginEnd::kStopped;
    return login;
  }
  if (login.connect.step != ConnectStep::kConnected) {
    login.end = LoginEnd::kNotConnected;
    return login;
  }
  if (!connected.stream) {
    login.end = LoginEnd::kTlsFailed;
    login.tlsProblem = std::move(connected.problem);
    return login;
  }
  login.stream = std::move(connected.stream);
  if (request.empty()) {
    login.end = LoginEnd::kConnected;
    return login;
  }
  login.error = login.stream->Send(request, clock, kSendStallLimitMs, stop);
  if (login.error != 0) {
    login.end = login.error == ECANCELED ? LoginEnd::kStopped : LoginEnd::kSendFailed;
    return login;
  }
  login.end = GatherReply(*login.stream, clock, stop, extent, login);
  FindFirstLine(login);
  return login;
}

std::string DescribeLoginReply(const CasterLogin& login) {
  if (login.end == LoginEnd::kTlsFailed) return login.tlsProblem;
  if (login.end == LoginEnd::kReadFailed) {
    return "Reading the caster's reply failed: " + SystemErrorText(login.error) + ".";
  }
  if (login.end == LoginEnd::kClosed && login.StatusLine().empty()) {
    return "The caster closed the connection without a reply.";
  }
  return DescribeRefusedReply(login.StatusLine());
}

}  // namespace quillon
