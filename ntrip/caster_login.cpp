#include "ntrip/caster_login.h"

#include <algorithm>
#include <cerrno>
#include <optional>
#include <span>

#include "net/caster_stream_connect.h"
#include "ntrip/reply.h"
#include "ntrip/reply_head.h"
#include "platform/system_error.h"

namespace quillon {
namespace {

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
  if (!login.FindFirstLine()) return false;
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

bool CasterLogin::FindFirstLine() {
  const std::string_view text = received;
  const bool full = text.size() >= kLoginReplyLimit;
  std::size_t begin = 0;
  for (;;) {
    begin = std::min(text.find_first_not_of("\r\n", begin), text.size());
    const int status = HttpStatusCode(text.substr(begin));
    if (status < 100 || status > 199) break;
    const std::optional<ReplyHead> interim = ParseReplyHead(text.substr(begin));
    if (!interim) {
      // The final reply comes behind this head, once it has ended.
      lineBegin = begin;
      lineEnd = text.size();
      return full;
    }
    begin += interim->size;
  }
  lineBegin = begin;
  const std::size_t lf = text.find('\n', begin);
  lineEnd = lf == std::string_view::npos ? text.size() : lf + 1;
  return lf != std::string_view::npos || full;
}

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
  login.FindFirstLine();
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
