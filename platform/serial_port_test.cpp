// The serial device on a pseudo-terminal, where the test plays the receiver.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "common/baud.h"
#include "platform/serial_line.h"
#include "testing/pty_pair.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

// Whether thread `id` of this process is asleep in the kernel (state S).
bool IsAsleep(pid_t id) {
  if (id == 0) return false;
  std::ifstream stat("/proc/self/task/" + std::to_string(id) + "/stat");
  const std::string text(std::istreambuf_iterator<char>(stat), {});
  const auto name = text.rfind(')');  // the state follows the name in parentheses
  return name != std::string::npos && name + 2 < text.size() && text[name + 2] == 'S';
}

class SerialPortTest : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_GE(observer_, 0); }
  void TearDown() override { close(observer_); }
  bool Exclusive() {
    int mode = -1;
    EXPECT_EQ(ioctl(observer_, TIOCGEXCL, &mode), 0);
    return mode != 0;
  }

  testing::VirtualClock clock_;
  testing::PtyPair pty_;
  // Taken before a port makes the device exclusive: it shows what the port leaves behind.
  const int observer_ = open(pty_.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
};

TEST_F(SerialPortTest, EveryBaudRateOfTheTableIsSetWith8N1RawAndNoFlowControl) {
  SerialPort port(clock_);
  for (const std::uint32_t baud : kBaudRates) {
    ASSERT_EQ(port.Open(pty_.DevicePath(), baud), std::error_code()) << baud;
    SerialLineSettings line;
    ASSERT_TRUE(ReadSerialLineSettings(observer_, line));
    EXPECT_EQ(std::tie(line.inputBaud, line.outputBaud, line.dataBits),
              std::make_tuple(baud, baud, 8));
    EXPECT_FALSE(line.parity || line.twoStopBits) << baud;
    EXPECT_FALSE(line.hardwareFlowControl || line.softwareFlowControl) << baud;
    EXPECT_TRUE(line.raw) << baud;
  }
}

TEST_F(SerialPortTest, OpensOnlyAnAvailableTerminalAfterDroppingOneTrailingColon) {
  const std::error_code missing = std::make_error_code(std::errc::no_such_file_or_directory);
  const std::pair<std::string, std::error_code> cases[] = {
      {pty_.DevicePath() + ":", {}},
      {pty_.DevicePath() + "::", missing},
      {"", missing},
      {"/dev/quillon-no-such-device", missing},
      // Exists, but is no serial device.
      {"/dev/null", std::make_error_code(std::errc::inappropriate_io_control_operation)},
  };
  for (const auto& [name, error] : cases) {
    SerialPort port(clock_);
    EXPECT_EQ(port.Open(name, 9600), error) << name;
    EXPECT_EQ(port.IsOpen(), !error) << name;
  }
}

TEST_F(SerialPortTest, TheDeviceIsHeldExclusivelyUntilClosed) {
  SerialPort first(clock_);
  SerialPort second(clock_);
  ASSERT_EQ(first.Open(pty_.DevicePath(), 9600), std::error_code());
  EXPECT_TRUE(Exclusive());
  EXPECT_EQ(second.Open(pty_.DevicePath(), 9600), std::errc::device_or_resource_busy);
  // Reopening through the same port lets go of the old descriptor first.
  EXPECT_EQ(first.Open(pty_.DevicePath(), 4800), std::error_code());
  first.Close();
  // Left exclusive, the device would refuse the next program's open (root excepted).
  EXPECT_FALSE(Exclusive());
  EXPECT_EQ(second.Open(pty_.DevicePath(), 9600), std::error_code());
}

// The driver's refusal comes back as the system's reason, not as a port set half-way.
TEST(SerialLineTest, ALineThatCannotBeSetGivesTheSystemsReason) {
  int ends[2] = {-1, -1};
  ASSERT_EQ(pipe(ends), 0);
  EXPECT_EQ(ApplySerialLineSettings(ends[0], 9600), std::errc::inappropriate_io_control_operation);
  close(ends[0]);
  close(ends[1]);
}

TEST_F(SerialPortTest, CloseFromAnotherThreadEndsAWriteTheReceiverDoesNotTake) {
  // Each wait for room looks a minute long in real time: only the Close can end this write.
  testing::VirtualClock slow(1000, 1'700'000'000, 60000);
  SerialPort port(slow);
  ASSERT_EQ(port.Open(pty_.DevicePath(), 115200), std::error_code());
  // Far more than a pty buffers: the write must wait for room that never comes.
  const std::vector<std::uint8_t> block(4 << 20, 0x5A);
  bool written = true;
  std::atomic<pid_t> writerId{0};
  std::thread writer([&] {
    writerId.store(gettid());
    written = port.Write(block.data(), block.size());
  });
  // Close only once the write waits for room: bytes have gone out and the writer sleeps (its
  // only sleep is that wait), so the test cannot pass with a Close that came first.
  int queued = 0;
  while (queued == 0 || !IsAsleep(writerId.load())) {
    ASSERT_EQ(ioctl(pty_.ReceiverFd(), FIONREAD, &queued), 0);
    std::this_thread::yield();
  }
  port.Close();
  writer.join();
  EXPECT_FALSE(written);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_LT(slow.Elapsed(), kSerialWriteStallLimitMs);
}

// The 10 s count from the last byte that went, however long the write has run; the port stays open.
TEST_F(SerialPortTest, AWriteTheReceiverStopsTakingFailsAfterTenSecondsWithoutAByte) {
  testing::VirtualClock clock(1000, 1'700'000'000, 1);
  SerialPort port(clock);
  ASSERT_EQ(port.Open(pty_.DevicePath(), 115200), std::error_code());
  // Taken a block at a time for 30 s, then not at all.
  const std::vector<std::uint8_t> block(4 << 20, 0x5A);
  std::atomic<bool> reading{true};
  std::thread receiver([&] {
    std::uint8_t taken[4096];
    while (reading.load() && clock.Elapsed() < 30000) {
      [[maybe_unused]] const ssize_t got = read(pty_.ReceiverFd(), taken, sizeof taken);
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
  });
  const bool written = port.Write(block.data(), block.size());
  const std::uint64_t ended = clock.Elapsed();
  reading.store(false);
  receiver.join();
  EXPECT_FALSE(written);
  EXPECT_GE(ended, 30000u + kSerialWriteStallLimitMs - 1000);
  EXPECT_LE(ended, 30000u + kSerialWriteStallLimitMs + 1000);
  EXPECT_TRUE(port.IsOpen());
}

}  // namespace
}  // namespace quillon
