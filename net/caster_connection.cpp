#include "net/caster_connection.h"

#include <netdb.h>
#include <sys/socket.h>

#include <algorithm>
#include <cerrno>

#include "common/format.h"
#include "common/guard.h"
#include "common/printable_text.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/timed_connect.h"

namespace quillon {
namespace {

std::u16string ConnectionErrorWithReason(const std::string& reason) {
  return FormatText(LoadString(kStrConnectionError), {std::u16string_view(EightBitToWide(reason))});
}

// How long the next of `left` addresses may hang when `remaining` ms of the limit are left.
std::uint32_t AddressShare(std::uint32_t remaining, std::size_t left) {
  if (left <= 1) return remaining;
  const auto even = static_cast<std::uint32_t>(remaining / left);
  return std::min(remaining, std::max(even, kMinAddressShareMs));
}

}  // namespace

CasterConnect ConnectToCaster(std::string_view address, std::int32_t port, CasterSocket& socket,
                              Clock& clock, std::uint32_t limitMs, const StopRequested& stop,
                              const NameLookup& lookup) {
  CasterConnect result;
  result.address = ResolveCasterAddress(address, clock, stop, lookup);
  switch (result.address.kind) {
    case AddressKind::kResolved:
      break;
    case AddressKind::kInvalidLiteral:
      result.step = ConnectStep::kInvalidAddress;
      return result;
    case AddressKind::kUnresolved:
      result.step = ConnectStep::kUnresolved;
      return result;
    case AddressKind::kStopped:
      result.step = ConnectStep::kStopped;
      return result;
  }
  const CasterAddress resolved = result.address;
  const std::size_t count = std::min(resolved.addresses.size(), kMaxCasterAddresses);
  if (count == 0) {
    result.step = ConnectStep::kUnresolved;
    result.address.problem = gai_strerror(EAI_NONAME);
    return result;
  }
  const std::uint32_t start = clock.TickCount();
  for (std::size_t i = 0; i < count; ++i) {
    const std::uint32_t passed = clock.TickCount() - start;
    if (passed >= limitMs) {
      result.step = ConnectStep::kConnectFailed;
      result.error = ETIMEDOUT;
      break;
    }
    const IpAddress& next = resolved.addresses[i];
    result = ConnectToAddress(next, port, socket, clock, AddressShare(limitMs - passed, count - i),
                              stop);
    if (result.step == ConnectStep::kConnected || result.step == ConnectStep::kStopped) break;
    Trace("Connecting to " + next.Text() + " failed: " + SystemErrorText(result.error));
  }
  result.address = resolved;
  result.connectStart = start;
  return result;
}

CasterConnect ConnectToAddress(const IpAddress& address, std::int32_t port, CasterSocket& socket,
                               Clock& clock, std::uint32_t limitMs, const StopRequested& stop) {
  CasterConnect result;
  result.connectStart = clock.TickCount();
  result.address.kind = AddressKind::kResolved;
  result.address.addresses = {address};
  socket.Set(::socket(address.Family(), SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.IsOpen()) {
    result.step = ConnectStep::kNoSocket;
    result.error = errno;
    return result;
  }
  result.error = address.IsUnspecified() ? EADDRNOTAVAIL
                                         : ConnectWithin(socket.Get(), address,
                                                         static_cast<std::uint16_t>(port & 0xFFFF),
                                                         limitMs, clock, stop);
  if (result.error == 0) {
    result.step = ConnectStep::kConnected;
    result.peer = address;
  } else {
    result.step = result.error == ECANCELED ? ConnectStep::kStopped : ConnectStep::kConnectFailed;
  }
  return result;
}

std::u16string ConnectionErrorText(int error) {
  return ConnectionErrorWithReason(SystemErrorText(error));
}

std::u16string ConnectionErrorText(const CasterAddress& unresolved) {
  return ConnectionErrorWithReason(unresolved.problem);
}

std::u16string UnresolvedNameDetail(std::string_view name) {
  const std::string text = "The host name \"" + PrintableText(name) + "\" did not resolve.";
  return EightBitToWide(text);
}

ConnectFailure DescribeConnectFailure(const CasterConnect& connect, std::string_view address) {
  switch (connect.step) {
    case ConnectStep::kInvalidAddress:
      return {u"Does not appear to be a valid address?", {}};
    case ConnectStep::kUnresolved:
      return {ConnectionErrorText(connect.address), UnresolvedNameDetail(address)};
    case ConnectStep::kNoSocket:
      return {FormatText(LoadString(kStrCouldNotCreateSocket), {std::int64_t{connect.error}}), {}};
    case ConnectStep::kConnected:
    case ConnectStep::kStopped:
    case ConnectStep::kConnectFailed:
      break;
  }
  return {ConnectionErrorText(connect.error), {}};
}

}  // namespace quillon
