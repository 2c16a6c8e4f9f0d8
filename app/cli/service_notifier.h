// The service manager's notify protocol (systemd's Type=notify): state lines such as "READY=1",
// "STATUS=..." and "WATCHDOG=1" sent as one datagram to the socket named by NOTIFY_SOCKET.
//
// The protocol is a single datagram on a unix socket; it is spoken here directly rather than
// through libsystemd, whose six further libraries would add about 0.9 MB to the resident memory
// of a headless session that otherwise needs 4 MB.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

namespace quillon::cli {

class ServiceNotifier {
 public:
  virtual ~ServiceNotifier() = default;
  // Sends `state` (one or more "NAME=value" lines); a failure is not reported, as the service
  // manager may have gone.
  virtual void Notify(std::string_view state) = 0;
};

// A notifier for the socket in `notifySocket` (a path, or "@name" for an abstract socket); null
// when it is empty or too long to be a socket address.
std::unique_ptr<ServiceNotifier> MakeServiceNotifier(std::string_view notifySocket);

// The watchdog interval the service manager asks for in milliseconds, from the values of
// WATCHDOG_USEC and WATCHDOG_PID (which, when given, must be `ownPid`); nullopt when there is
// no watchdog or the values are unusable.
std::optional<std::uint32_t> WatchdogIntervalMs(const char* usec, const char* pid, long ownPid);

}  // namespace quillon::cli
