#include "ntrip/simulated_receiver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
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

// The program's end of the link, opened the way a serial port is.
class Device {
 public:
  explicit Device(const std::string& path) : fd_(::open(path.c_str(), O_RDWR | O_NOCTTY)) {}
  ~Device() {
    if (fd_ >= 0) ::close(fd_);
  }
  bool open() const { return fd_ >= 0; }
  ssize_t Write(std::string_view bytes) { return ::write(fd_, bytes.data(), bytes.size()); }
  // Reads until `count` bytes have come or nothing arrives for `timeout`.
  std::string Read(std::size_t count, std::chrono::milliseconds timeout = 5s) {
    std::string text;
    while (text.size() < count) {
      pollfd readable{fd_, POLLIN, 0};
      if (::poll(&readable, 1, static_cast<int>(timeout.count())) <= 0) break;
      char buffer[4096];
      const ssize_t n = ::read(fd_, buffer, sizeof buffer);
      if (n <= 0) break;
      text.append(buffer, static_cast<std::size_t>(n));
    }
    return text;
  }
  int fd() const { return fd_; }

 private:
  int fd_;
};

std::string AllByteValues() {
  std::string bytes;
  for (int i = 0; i < 256; ++i) bytes += static_cast<char>(i);
  return bytes;
}

TEST(MakeGgaSentence, ChecksumsAgreeOnARealSentence) {
  // The textbook GGA sentence with its published checksum.
  const std::string real = "$GPGGA,123519,4807.038,N,01131.000,E,1,08,0.9,545.4,M,46.9,M,,*47\r\n";
  EXPECT_EQ(ChecksumField(real), 0x47);
  EXPECT_EQ(GgaChecksum(real), 0x47);
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
      {0.0, 0.0, "0000.0000", "N", "00000.0000", "E"},
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
    EXPECT_EQ(fields[0], "$GPGGA");
    EXPECT_EQ(fields[1], "221320.00");
    EXPECT_EQ(fields[2], c.lat);
    EXPECT_EQ(fields[3], c.ns);
    EXPECT_EQ(fields[4], c.lon);
    EXPECT_EQ(fields[5], c.ew);
    EXPECT_EQ(fields[6], "1") << "fix quality";
  }
}

TEST(SimulatedReceiver, PassesEveryByteValueBothWays) {
  VirtualClock clock;
  SimulatedReceiver receiver(clock);
  ASSERT_TRUE(receiver.DevicePath().starts_with("/dev/pts/")) << receiver.DevicePath();
  Device device(receiver.DevicePath());
  ASSERT_TRUE(device.open());

  // Raw mode: no echo, no CR/LF translation, no XON/XOFF or signal characters swallowed.
  const std::string bytes = AllByteValues() + AllByteValues();
  ASSERT_EQ(device.Write(bytes), static_cast<ssize_t>(bytes.size()));
  ASSERT_TRUE(receiver.WaitForReceived(bytes.size(), 5s));
  EXPECT_EQ(receiver.Received(), bytes);

  receiver.Emit(bytes);
  receiver.Emit("tail");
  EXPECT_EQ(device.Read(bytes.size() + 4), bytes + "tail");
  EXPECT_EQ(receiver.Emitted(), bytes + "tail");
  EXPECT_EQ(device.Read(1, 50ms), "") << "nothing echoed";
}

TEST(SimulatedReceiver, SurvivesTheProgramReopeningTheDevice) {
  VirtualClock clock;
  SimulatedReceiver receiver(clock);
  for (const char* text : {"first", "second"}) {
    Device device(receiver.DevicePath());
    ASSERT_TRUE(device.open());
    ASSERT_EQ(device.Write(text), static_cast<ssize_t>(std::string(text).size()));
    receiver.Emit(text);
    EXPECT_EQ(device.Read(std::string(text).size()), text);
  }
  ASSERT_TRUE(receiver.WaitForReceived(11, 5s));
  EXPECT_EQ(receiver.Received(), "firstsecond");
}

TEST(SimulatedReceiver, SendsGgaOnTheClocksInterval) {
  VirtualClock clock;
  SimulatedReceiverConfig config;
  config.ggaIntervalMs = 1000;
  SimulatedReceiver receiver(clock, config);
  Device device(receiver.DevicePath());
  ASSERT_TRUE(device.open());

  // The first sentence comes at once; the next only after a second of the clock.
  ASSERT_TRUE(receiver.WaitForEmitted(1, 5s));
  const std::string first = receiver.Emitted();
  std::this_thread::sleep_for(50ms);
  EXPECT_EQ(receiver.Emitted(), first) << "no second sentence without clock time";

  clock.Advance(1000);
  ASSERT_TRUE(receiver.WaitForEmitted(first.size() + 1, 5s));
  clock.Advance(1000);
  const std::string all = device.Read(3 * first.size());

  std::vector<std::string> sentences;
  for (std::size_t start = 0; start < all.size();) {
    const std::size_t end = all.find("\r\n", start);
    ASSERT_NE(end, std::string::npos) << all;
    sentences.push_back(all.substr(start, end + 2 - start));
    start = end + 2;
  }
  ASSERT_EQ(sentences.size(), 3u) << all;
  const char* times[] = {"221320.00", "221321.00", "221322.00"};
  for (std::size_t i = 0; i < sentences.size(); ++i) {
    EXPECT_EQ(ChecksumField(sentences[i]), GgaChecksum(sentences[i])) << sentences[i];
    EXPECT_EQ(Fields(sentences[i])[1], times[i]);
    EXPECT_EQ(Fields(sentences[i])[2], "5231.2000");
  }
  // A clock that jumps ahead gives one sentence, not a burst of the missed ones.
  clock.Advance(60'000);
  EXPECT_EQ(device.Read(2 * first.size(), 300ms).size(), first.size());
}

TEST(SimulatedReceiver, PacesItsStreamByTheClock) {
  VirtualClock clock;
  SimulatedReceiver receiver(clock);
  Device device(receiver.DevicePath());
  ASSERT_TRUE(device.open());
  receiver.SetStreamRate(11520);
  std::this_thread::sleep_for(30ms);
  EXPECT_EQ(receiver.Emitted(), "") << "no clock time, no bytes";

  clock.Advance(500);
  const std::string half = device.Read(5760);
  ASSERT_EQ(half.size(), 5760u);
  EXPECT_EQ(static_cast<unsigned char>(half[0]), 0xD3);
  clock.Advance(500);
  const std::string rest = device.Read(5760);
  EXPECT_EQ(rest.size(), 5760u);
  EXPECT_EQ(device.Read(1, 50ms), "") << "no more than the rate allows";
  EXPECT_EQ(receiver.Emitted(), half + rest);

  receiver.SetStreamRate(0);
  clock.Advance(1000);
  EXPECT_EQ(device.Read(1, 50ms), "");
}

TEST(SimulatedReceiver, DisappearsLikeAnUnpluggedReceiver) {
  VirtualClock clock;
  SimulatedReceiver receiver(clock);
  const std::string path = receiver.DevicePath();
  Device device(path);
  ASSERT_TRUE(device.open());
  ASSERT_EQ(device.Write("x"), 1);
  ASSERT_TRUE(receiver.WaitForReceived(1, 5s));

  receiver.Disappear();
  EXPECT_TRUE(receiver.Disappeared());
  EXPECT_EQ(device.Write("y"), -1);
  char byte;
  EXPECT_LE(::read(device.fd(), &byte, 1), 0);
  EXPECT_NE(::access(path.c_str(), F_OK), 0) << "device path still there";
  Device again(path);
  EXPECT_FALSE(again.open());

  receiver.Emit("lost");
  receiver.Disappear();
  EXPECT_EQ(receiver.Emitted(), "");
  EXPECT_EQ(receiver.Received(), "x");
}

}  // namespace
}  // namespace quillon
