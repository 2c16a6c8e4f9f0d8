#include "net/caster_connection.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>

#include "common/format.h"
#include "common/printable_text.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/timed_connect.h"

namespace quillon {
namespace {

std::u16string ConnectionErrorWithReason(const std::string& reason) {
  return FormatText(LoadString(kStrConnectionError), {std::u16string_view(EightBitToWide(reason))});
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
    case AddressKind::kInvalidDotted:
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
  result = ConnectToAddress(resolved.address, port, socket, clock, limitMs, stop);
  result.address = resolved;
  return result;
}

CasterConnect ConnectToAddress(in_addr address, std::int32_t port, CasterSocket& socket,
                               Clock& clock, std::uint32_t limitMs, const StopRequested& stop) {
  CasterConnect result;
  result.address.kind = AddressKind::kResolved;
  result.address.address = address;
  socket.Set(::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0));
  if (!socket.IsOpen()) {
    result.step = ConnectStep::kNoSocket;
    result.error = errno;
    return result;
  }
  sockaddr_in caster{};
  caster.sin_family = AF_INET;
  caster.sin_addr = address;
  caster.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  result.error = address.s_addr == INADDR_ANY
                     ? EADDRNOTAVAIL
                     : ConnectWithin(socket.Get(), caster, limitMs, clock, stop);
  if (result.error == 0) {
    result.step = ConnectStep::kConnected;
  } else {
    result.step = result.error == ECANCELED ? ConnectStep::kStopped : ConnectStep::kConnectFailed;
  }
  return result;
}

int SendWithin(int fd, std::string_view data, Clock& clock, std::uint32_t stallLimitMs,
               const StopRequested& stop) {
  while (!data.empty()) {
    const ssize_t count = send(fd, data.data(), data.size(), MSG_NOSIGNAL | MSG_DONTWAIT);
    if (count > 0) {
      data.remove_prefix(static_cast<std::size_t>(count));
      continue;
    }
    if (count < 0 && errno == EINTR) continue;
    if (count < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return errno;
    // No room: wait for some, but not for ever, and not past a stop.
    if (const int error = WaitWritableInSteps(clock, fd, stallLimitMs, stop)) return error;
  }
  return 0;
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

}  // namespace quillon
