#include "ntrip/simulated_receiver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <string>
#include <vector>

#include "ntrip/gga.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using namespace std::chrono_literals;
using quillon::testing::VirtualClock;

// The checksum field of "...*hh\r\n"; -1 when the sentence has no such tail.
int ChecksumField(const std::string& sentence) {
  const auto star = sentence.find('*');
  if (sentence.empty() || sentence[0] != '$' || star == std::string::npos ||
      sentence.size() != star + 5 || sentence.substr(star + 3) != "\r\n") {
    return -1;
  }
  return static_cast<int>(std::strtol(sentence.substr(star + 1, 2).c_str(), nullptr, 16));
}

std::vector<std::string> Fields(const std::string& sentence) {
  std::vector<std::string> fields;
  std::size_t start = 0;
  const std::size_t end = sentence.find('*');
  while (start <= end) {
    const std::size_t comma = std::min(sentence.find(',', start), end);
    fields.push_back(sentence.substr(start, comma - start));
    start = comma + 1;
  }
  return fields;
}

// Reads the program's end of the link, opened the way a serial port is, until `count` bytes
// have come or nothing arrives for `timeout`.
std::string ReadDevice(int fd, std::size_t count, std::chrono::milliseconds timeout = 5s) {
  std::string text;
  while (text.size() < count) {
    pollfd readable{fd, POLLIN, 0};
    if (::poll(&readable, 1, static_cast<int>(timeout.count())) <= 0) break;
    char buffer[4096];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    text.append(buffer, static_cast<std::size_t>(n));
  }
  return text;
}

TEST(MakeGgaSentence, WritesTimeAndPositionWithAValidChecksum) {
  const struct {
    double latitude, longitude;
    const char* lat;
    const char* ns;
    const char* lon;
    const char* ew;
  } cases[] = {
      {52.52, 13.40, "5231.2000", "N", "01324.0000", "E"},
      {-33.8688, -151.2093, "3352.1280", "S", "15112.5580", "W"},
      // Minutes that would round up to 60 carry into the degrees.
      {10.99999999, -179.999999999, "1100.0000", "N", "18000.0000", "W"},
  };
  for (const auto& c : cases) {
    // 1700000000 is 2023-11-14 22:13:20 UTC (`date -u -d @1700000000`).
    const std::string sentence = MakeGgaSentence(1'700'000'000, c.latitude, c.longitude);
    ASSERT_NE(ChecksumField(sentence), -1) << sentence;
    EXPECT_EQ(ChecksumField(sentence), GgaChecksum(sentence)) << sentence;
    const auto fields = Fields(sentence);
    ASSERT_EQ(fields.size(), 15u) << sentence;
    const std::vector<std::string> head(fields.begin(), fields.begin() + 7);
    EXPECT_EQ(head,
              (std::vector<std::string>{"$GPGGA", "221320.00", c.lat, c.ns, c.lon, c.ew, "1"}));
  }
}

// The times in the sentences show that each came on its own second of the clock: a receiver
// that sent without clock time would repeat the first time.
TEST(SimulatedReceiver, SendsGgaOnTheClocksInterval) {
  VirtualClock clock;
  SimulatedReceiverConfig config;
  config.ggaIntervalMs = 1000;
  SimulatedReceiver receiver(clock, config);
  const int fd = ::open(receiver.DevicePath().c_str(), O_RDWR | O_NOCTTY);
  ASSERT_GE(fd, 0);

  // The first sentence comes at once, the next ones after a second of the clock each.
  ASSERT_TRUE(receiver.WaitForEmitted(1, 5s));
  const std::size_t size = receiver.Emitted().size();
  for (std::size_t sentences = 2; sentences <= 3; ++sentences) {
    clock.Advance(1000);
    ASSERT_TRUE(receiver.WaitForEmitted(sentences * size, 5s));
  }
  // A clock that jumps ahead gives one sentence, not a burst of the missed ones.
  clock.Advance(60'000);
  ASSERT_TRUE(receiver.WaitForEmitted(4 * size, 5s));
  EXPECT_EQ(receiver.Emitted().size(), 4 * size);

  const std::string all = ReadDevice(fd, 4 * size);
  const char* times[] = {"221320.00", "221321.00", "221322.00", "221422.00"};
  ASSERT_EQ(all.size(), 4 * size) << all;
  for (std::size_t i = 0; i < 4; ++i) {
    const std::string sentence = all.substr(i * size, size);
    EXPECT_EQ(ChecksumField(sentence), GgaChecksum(sentence)) << sentence;
    EXPECT_EQ(Fields(sentence)[1], times[i]);
  }
  ::close(fd);
}

}  // namespace
}  // namespace quillon
