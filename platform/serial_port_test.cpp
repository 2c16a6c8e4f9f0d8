// The serial device on a pseudo-terminal: line settings, exclusive use, device names, and a
// close that frees a write stuck on a receiver that does not read.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <string>
#include <thread>

#include "common/baud.h"
#include "platform/serial_line.h"
#include "testing/pty_pair.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::PtyPair;
using testing::VirtualClock;

// Whether thread `id` of this process is asleep in the kernel (state S).
bool IsAsleep(pid_t id) {
  if (id == 0) return false;
  std::ifstream stat("/proc/self/task/" + std::to_string(id) + "/stat");
  const std::string text(std::istreambuf_iterator<char>(stat), {});
  const auto name = text.rfind(')');  // the state follows the name in parentheses
  return name != std::string::npos && name + 2 < text.size() && text[name + 2] == 'S';
}

TEST(SerialPortTest, EveryBaudRateOfTheTableIsSetWith8N1RawAndNoFlowControl) {
  for (const std::uint32_t baud : kBaudRates) {
    SCOPED_TRACE(baud);
    VirtualClock clock;
    PtyPair pty;
    // A second descriptor on the device, taken before the port makes it exclusive, to look at
    // the line settings the port leaves behind.
    const int observer = open(pty.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
    ASSERT_GE(observer, 0);
    SerialPort port(clock);
    ASSERT_TRUE(port.Open(pty.DevicePath(), baud));

    SerialLineSettings line;
    ASSERT_TRUE(ReadSerialLineSettings(observer, line));
    EXPECT_EQ(line.inputBaud, baud);
    EXPECT_EQ(line.outputBaud, baud);
    EXPECT_EQ(line.dataBits, 8);
    EXPECT_FALSE(line.parity);
    EXPECT_FALSE(line.twoStopBits);
    EXPECT_FALSE(line.hardwareFlowControl);
    EXPECT_FALSE(line.softwareFlowControl);
    EXPECT_TRUE(line.raw);
    close(observer);
  }
}

TEST(SerialPortTest, OpensOnlyAnAvailableTerminalAfterDroppingOneTrailingColon) {
  VirtualClock clock;
  PtyPair pty;
  const std::pair<std::string, bool> cases[] = {
      {pty.DevicePath() + ":", true},
      {pty.DevicePath() + "::", false},
      {"", false},
      {"/dev/quillon-no-such-device", false},
      {"/dev/null", false},  // exists, but is no serial device
  };
  for (const auto& [name, opens] : cases) {
    SerialPort port(clock);
    EXPECT_EQ(port.Open(name, 9600), opens) << name;
    EXPECT_EQ(port.IsOpen(), opens) << name;
  }
}

TEST(SerialPortTest, TheDeviceIsHeldExclusivelyUntilClosed) {
  VirtualClock clock;
  PtyPair pty;
  // Taken before the port makes the device exclusive; it shows the device's mode afterwards.
  const int observer = open(pty.DevicePath().c_str(), O_RDWR | O_NOCTTY | O_CLOEXEC);
  ASSERT_GE(observer, 0);
  const auto exclusive = [&] {
    int mode = -1;
    EXPECT_EQ(ioctl(observer, TIOCGEXCL, &mode), 0);
    return mode != 0;
  };
  SerialPort first(clock);
  SerialPort second(clock);
  ASSERT_TRUE(first.Open(pty.DevicePath(), 9600));
  EXPECT_TRUE(exclusive());
  EXPECT_FALSE(second.Open(pty.DevicePath(), 9600));
  // Reopening through the same port lets go of the old descriptor first.
  EXPECT_TRUE(first.Open(pty.DevicePath(), 4800));
  first.Close();
  // Left exclusive, the device would refuse the next program's open (root excepted).
  EXPECT_FALSE(exclusive());
  EXPECT_TRUE(second.Open(pty.DevicePath(), 9600));
  close(observer);
}

TEST(SerialPortTest, CloseFromAnotherThreadEndsAWriteTheReceiverDoesNotTake) {
  VirtualClock clock;
  PtyPair pty;
  SerialPort port(clock);
  ASSERT_TRUE(port.Open(pty.DevicePath(), 115200));
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
    ASSERT_EQ(ioctl(pty.ReceiverFd(), FIONREAD, &queued), 0);
    std::this_thread::yield();
  }
  port.Close();
  writer.join();
  EXPECT_FALSE(written);
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace quillon
