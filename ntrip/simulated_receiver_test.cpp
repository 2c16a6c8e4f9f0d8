#include "ntrip/simulated_receiver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <string>

#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using quillon::testing::VirtualClock;

// Reads the program's end of the link, opened the way a serial port is, until `count` bytes
// have come or nothing arrives for five seconds.
std::string ReadDevice(int fd, std::size_t count) {
  std::string text;
  char buffer[4096];
  pollfd readable{fd, POLLIN, 0};
  while (text.size() < count && ::poll(&readable, 1, 5000) > 0) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

TEST(SimulatedReceiver, SendsGgaOnTheClocksInterval) {
  VirtualClock clock;
  SimulatedReceiverConfig config;
  config.ggaIntervalMs = 1000;
  SimulatedReceiver receiver(clock, config);
  const int fd = ::open(receiver.DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);

  // The first sentence comes at once. 1700000000 is 2023-11-14 22:13:20 UTC (`date -u -d
  // @1700000000`); the checksum is from an independent XOR.
  std::string expected =
      "$GPGGA,221320.00,5231.2000,N,01324.0000,E,1,08,0.9,100.0,M,47.0,M,,*6C\r\n";
  ASSERT_TRUE(receiver.WaitForEmitted(expected.size(), 5s));
  EXPECT_EQ(receiver.Emitted(), expected);
  // The next ones after a second of the clock each; a clock that jumps ahead gives one
  // sentence, not a burst of the missed ones.
  for (const std::time_t second : {1, 2, 62}) {
    clock.Advance(static_cast<std::uint64_t>(1'000 * second) - clock.Elapsed());
    expected += MakeGgaSentence(1'700'000'000 + second, 52.52, 13.40);
    ASSERT_TRUE(receiver.WaitForEmitted(expected.size(), 5s)) << second;
  }
  EXPECT_EQ(receiver.Emitted(), expected);
  EXPECT_EQ(ReadDevice(fd, expected.size()), expected);
  ::close(fd);
}

}  // namespace
}  // namespace quillon
