// The serial device on a pseudo-terminal: line settings, exclusive use, device names, and a
// close that frees a write stuck on a receiver that does not read.
#include "platform/serial_port.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "common/baud.h"
#include "platform/serial_line.h"
#include "testing/pty_pair.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::PtyPair;
using testing::VirtualClock;

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
  SerialPort first(clock);
  SerialPort second(clock);
  ASSERT_TRUE(first.Open(pty.DevicePath(), 9600));
  EXPECT_FALSE(second.Open(pty.DevicePath(), 9600));
  // Reopening through the same port lets go of the old descriptor first.
  EXPECT_TRUE(first.Open(pty.DevicePath(), 4800));
  first.Close();
  EXPECT_TRUE(second.Open(pty.DevicePath(), 9600));
}

TEST(SerialPortTest, CloseFromAnotherThreadEndsAWriteTheReceiverDoesNotTake) {
  VirtualClock clock;
  PtyPair pty;
  SerialPort port(clock);
  ASSERT_TRUE(port.Open(pty.DevicePath(), 115200));
  // Far more than a pty buffers: the write must wait for room that never comes.
  const std::vector<std::uint8_t> block(4 << 20, 0x5A);
  bool written = true;
  std::thread writer([&] { written = port.Write(block.data(), block.size()); });
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  port.Close();
  writer.join();
  EXPECT_FALSE(written);
  EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace quillon
