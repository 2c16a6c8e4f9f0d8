// Finding who holds a device: this test process, holding a pty through a serial port.
#include "platform/device_holders.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/serial_port.h"
#include "testing/pty_pair.h"
#include "testing/temp_folder.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

// This process's command name as the kernel keeps it.
std::string OwnCommandName() {
  std::string name;
  std::getline(std::ifstream("/proc/self/comm"), name);
  return name;
}

TEST(DeviceHoldersTest, FindsThisProcessHoldingAPtyByItsPathOrALinkToIt) {
  testing::VirtualClock clock;
  testing::PtyPair pty;
  testing::TempFolder folder;
  const std::filesystem::path link = folder.Path() / "by-id-receiver";
  std::filesystem::create_symlink(pty.DevicePath(), link);

  // The pty's other end (the master) is no holder of the device itself.
  EXPECT_TRUE(FindDeviceHolders(pty.DevicePath()).empty());
  SerialPort port(clock);
  ASSERT_EQ(port.Open(pty.DevicePath(), 9600), std::error_code());
  for (const std::string& device : {pty.DevicePath(), link.string()}) {
    const std::vector<DeviceHolder> holders = FindDeviceHolders(device);
    ASSERT_EQ(holders.size(), 1u) << device;
    EXPECT_EQ(holders[0].pid, getpid());
    EXPECT_EQ(holders[0].name, OwnCommandName());
  }
  port.Close();
  EXPECT_TRUE(FindDeviceHolders(pty.DevicePath()).empty());
}

}  // namespace
}  // namespace quillon
