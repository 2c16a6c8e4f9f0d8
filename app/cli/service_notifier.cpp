#include "app/cli/service_notifier.h"

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <charconv>
#include <cstddef>
#include <cstring>

namespace quillon::cli {
namespace {

class SocketNotifier final : public ServiceNotifier {
 public:
  SocketNotifier(const sockaddr_un& address, socklen_t length)
      : address_(address), length_(length) {}

  void Notify(std::string_view state) override {
    const int fd = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) return;
    [[maybe_unused]] const ssize_t sent =
        sendto(fd, state.data(), state.size(), MSG_NOSIGNAL,
               reinterpret_cast<const sockaddr*>(&address_), length_);
    close(fd);
  }

 private:
  sockaddr_un address_;
  socklen_t length_;
};

template <typename Number>
std::optional<Number> ParseNumber(const char* text) {
  if (text == nullptr) return std::nullopt;
  const char* end = text + std::strlen(text);
  Number value{};
  const auto [stop, error] = std::from_chars(text, end, value);
  if (error != std::errc() || stop != end || stop == text) return std::nullopt;
  return value;
}

}  // namespace

std::unique_ptr<ServiceNotifier> MakeServiceNotifier(std::string_view notifySocket) {
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  // A path must keep its terminator; an abstract name starts with a zero byte instead of '@'.
  if (notifySocket.size() < 2 || notifySocket.size() >= sizeof address.sun_path) return nullptr;
  if (notifySocket.front() != '/' && notifySocket.front() != '@') return nullptr;
  std::memcpy(address.sun_path, notifySocket.data(), notifySocket.size());
  if (notifySocket.front() == '@') address.sun_path[0] = '\0';
  const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + notifySocket.size() +
                                             (notifySocket.front() == '/' ? 1 : 0));
  return std::make_unique<SocketNotifier>(address, length);
}

std::optional<std::uint32_t> WatchdogIntervalMs(const char* usec, const char* pid, long ownPid) {
  const auto micros = ParseNumber<std::uint64_t>(usec);
  if (!micros || *micros < 1000 || *micros / 1000 > UINT32_MAX / 2) return std::nullopt;
  if (pid != nullptr && ParseNumber<long>(pid) != ownPid) return std::nullopt;
  return static_cast<std::uint32_t>(*micros / 1000);
}

}  // namespace quillon::cli
