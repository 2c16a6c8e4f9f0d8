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

// The next datagram on `fd`, or "(nothing)".
std::string Receive(int fd) {
  char buffer[512];
  const ssize_t n = recv(fd, buffer, sizeof buffer, MSG_DONTWAIT);
  return n < 0 ? "(nothing)" : std::string(buffer, static_cast<std::size_t>(n));
}

TEST(ServiceNotifier, SendsEachStateAsOneDatagramToAPathOrAnAbstractSocket) {
  const quillon::testing::TempFolder folder;
  for (const std::string& name :
       {(folder.Path() / "notify").string(), "@quillon-test-" + std::to_string(getpid())}) {
    const int manager = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::memcpy(address.sun_path, name.data(), name.size());
    if (name.front() == '@') address.sun_path[0] = '\0';  // abstract
    ASSERT_EQ(bind(manager, reinterpret_cast<const sockaddr*>(&address),
                   static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + name.size())),
              0);
    const auto notifier = MakeServiceNotifier(name);
    ASSERT_NE(notifier, nullptr) << name;
    notifier->Notify("READY=1\nSTATUS=Connecting to the caster.");
    notifier->Notify("WATCHDOG=1");
    EXPECT_EQ(Receive(manager), "READY=1\nSTATUS=Connecting to the caster.");
    EXPECT_EQ(Receive(manager), "WATCHDOG=1");
    close(manager);
  }
  for (const std::string& unusable : {std::string(), std::string("relative/notify"),
                                      std::string("@"), "/" + std::string(200, 'x')}) {
    EXPECT_EQ(MakeServiceNotifier(unusable), nullptr) << unusable;
  }
}

TEST(WatchdogIntervalMs, OnlyForThisProcessAndOnlyFromAUsableNumber) {
  for (const char* pid : {static_cast<const char*>(nullptr), "4242"}) {
    EXPECT_EQ(WatchdogIntervalMs("180000000", pid, 4242), 180'000u);
  }
  for (const char* pid : {"4243", "x"}) {
    EXPECT_EQ(WatchdogIntervalMs("180000000", pid, 4242), std::nullopt) << pid;
  }
  EXPECT_EQ(WatchdogIntervalMs(nullptr, "4242", 4242), std::nullopt);
  for (const char* usec : {"", "12s", "999", "-5000000", "99999999999999999999"}) {
    EXPECT_EQ(WatchdogIntervalMs(usec, nullptr, 4242), std::nullopt) << usec;
  }
}

}  // namespace
}  // namespace quillon::cli
