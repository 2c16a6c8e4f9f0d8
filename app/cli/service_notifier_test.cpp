// The notify protocol spoken to a real unix datagram socket, and the watchdog's variables.
#include "app/cli/service_notifier.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include "testing/temp_folder.h"

namespace quillon::cli {
namespace {

// A datagram socket bound to `name` ("@..." abstract); what Receive returns is one datagram.
class ServiceManagerSocket {
 public:
  explicit ServiceManagerSocket(const std::string& name) {
    fd_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name.front() == '@') address.sun_path[0] = '\0';
    const auto length = static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size());
    EXPECT_EQ(bind(fd_, reinterpret_cast<const sockaddr*>(&address), length), 0);
  }
  ~ServiceManagerSocket() { close(fd_); }

  std::string Receive() const {
    char buffer[512];
    const ssize_t n = recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
    return n < 0 ? "(nothing)" : std::string(buffer, static_cast<std::size_t>(n));
  }

 private:
  int fd_ = -1;
};

TEST(ServiceNotifier, SendsEachStateAsOneDatagramToAPathOrAnAbstractSocket) {
  const quillon::testing::TempFolder folder;
  const std::string names[] = {(folder.Path() / "notify").string(),
                               "@quillon-test-" + std::to_string(getpid())};
  for (const std::string& name : names) {
    SCOPED_TRACE(name);
    const ServiceManagerSocket manager(name);
    const auto notifier = MakeServiceNotifier(name);
    ASSERT_NE(notifier, nullptr);
    notifier->Notify("READY=1\nSTATUS=Connecting to the caster.");
    notifier->Notify("WATCHDOG=1");
    EXPECT_EQ(manager.Receive(), "READY=1\nSTATUS=Connecting to the caster.");
    EXPECT_EQ(manager.Receive(), "WATCHDOG=1");
  }
  for (const std::string& unusable : {std::string(), std::string("relative/notify"),
                                      std::string("@"), "/" + std::string(200, 'x')}) {
    EXPECT_EQ(MakeServiceNotifier(unusable), nullptr) << unusable;
  }
}

TEST(WatchdogIntervalMs, OnlyForThisProcessAndOnlyFromAUsableNumber) {
  const struct {
    const char* usec;
    const char* pid;
    std::optional<std::uint32_t> ms;
  } cases[] = {
      {"180000000", nullptr, 180'000},
      {"180000000", "4242", 180'000},
      {"180000000", "4243", {}},
      {"180000000", "x", {}},
      {nullptr, "4242", {}},
      {"", nullptr, {}},
      {"12s", nullptr, {}},
      {"999", nullptr, {}},
      {"-5000000", nullptr, {}},
      {"99999999999999999999", nullptr, {}},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(WatchdogIntervalMs(c.usec, c.pid, 4242), c.ms)
        << (c.usec ? c.usec : "null") << " " << (c.pid ? c.pid : "null");
  }
}

}  // namespace
}  // namespace quillon::cli
