#include "net/caster_connection.h"

#include <arpa/inet.h>
#include <sys/socket.h>

#include <cerrno>

#include "common/format.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/address.h"

namespace quillon {

int ConnectToCaster(int fd, in_addr address, std::int32_t port) {
  if (address.s_addr == INADDR_ANY) return EADDRNOTAVAIL;
  sockaddr_in caster{};
  caster.sin_family = AF_INET;
  caster.sin_addr = address;
  caster.sin_port = htons(static_cast<std::uint16_t>(port & 0xFFFF));
  if (connect(fd, reinterpret_cast<const sockaddr*>(&caster), sizeof caster) != 0) return errno;
  return 0;
}

bool SendAll(int fd, const char* data, std::size_t size) {
  std::size_t sent = 0;
  while (sent < size) {
    const ssize_t count = send(fd, data + sent, size - sent, MSG_NOSIGNAL);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) return false;
    sent += static_cast<std::size_t>(count);
  }
  return true;
}

std::u16string ConnectionErrorText(int error) {
  const std::u16string reason = EightBitToWide(SystemErrorText(error));
  return FormatText(LoadString(kStrConnectionError), {std::u16string_view(reason)});
}

}  // namespace quillon
