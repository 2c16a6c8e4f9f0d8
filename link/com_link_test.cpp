// The receiver link: one contract for the serial and the Bluetooth link (through the BlueZ
// library), then its own rules.
#include "link/com_link.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <thread>

#include "common/utf8.h"
#include "link/serial_open_failure.h"
#include "platform/bluez_bluetooth_lib.h"
#include "platform/known_bluetooth_devices.h"
#include "testing/fake_bluetooth_lib.h"
#include "testing/file_privileges.h"
#include "testing/memory_device_source.h"
#include "testing/pty_pair.h"
#include "testing/recording_message_sink.h"
#include "testing/scripted_bluetooth_adapter.h"
#include "testing/temp_folder.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using testing::FakeBluetoothLib;
using testing::MemoryDeviceSource;
using testing::PtyPair;
using testing::RecordingMessageSink;
using testing::VirtualClock;

// The serial link, with the test playing the receiver on a pty.
struct SerialEnd {
  VirtualClock clock;
  PtyPair pty;
  ComLink link{clock, nullptr};

  bool Open() {
    WideField<64> name{};
    SetFieldText(name, std::u16string(pty.DevicePath().begin(), pty.DevicePath().end()));
    return link.OpenComPort(nullptr, name, 9600).opened;
  }
  void ReceiverSends(const std::vector<std::uint8_t>& bytes) { pty.SendToProgram(bytes); }
  std::vector<std::uint8_t> ReceiverGets(std::size_t count) {
    return pty.ReceiveFromProgram(count);
  }
  void ReceiverDisappears() { pty.Unplug(); }
};

// The Bluetooth link through the BlueZ library, with a scripted adapter whose socket pair
// plays the remote receiver.
struct BluetoothEnd {
  VirtualClock clock;
  testing::TempFolder folder;
  testing::ScriptedAdapter* adapter = nullptr;
  BluezBluetoothLib library{Adapter(), clock, folder.Path() / kKnownBluetoothDevicesFile};
  ComLink link{clock, &library};

  BluetoothEnd() {
    library.Discover();
    link.ChooseBluetooth(0, 1);
  }
  std::unique_ptr<BluetoothAdapter> Adapter() {
    auto made = std::make_unique<testing::ScriptedAdapter>();
    adapter = made.get();
    made->inquiryFinds = {{{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, u"GNSS receiver"}};
    return made;
  }
  bool Open() { return link.OpenComPort(nullptr, nullptr, 0, 9600).opened; }
  void ReceiverSends(const std::vector<std::uint8_t>& bytes) {
    send(adapter->RemoteEnd(), bytes.data(), bytes.size(), MSG_NOSIGNAL);
  }
  std::vector<std::uint8_t> ReceiverGets(std::size_t count) {
    std::vector<std::uint8_t> got(count);
    std::size_t have = 0;
    for (pollfd ready{adapter->RemoteEnd(), POLLIN, 0};
         have < count && poll(&ready, 1, 2000) > 0;) {
      const ssize_t n = recv(ready.fd, got.data() + have, count - have, 0);
      if (n <= 0) break;
      have += static_cast<std::size_t>(n);
    }
    got.resize(have);
    return got;
  }
  void ReceiverDisappears() { shutdown(adapter->RemoteEnd(), SHUT_RDWR); }
};

template <typename End>
class ReceiverLinkContract : public ::testing::Test {
 protected:
  // Reads until `count` bytes arrived or the reads stop giving any (a bounded number of tries).
  std::vector<std::uint8_t> ProgramReads(std::size_t count) {
    std::vector<std::uint8_t> got;
    for (int idle = 0; got.size() < count && idle < 50;) {
      const std::int32_t n = Read();
      idle = n > 0 ? 0 : idle + 1;
      if (n > 0) got.insert(got.end(), buffer_, buffer_ + n);
    }
    return got;
  }

  std::int32_t Read() { return end.link.ReadComPort(buffer_, sizeof buffer_); }
  bool Write(std::uint8_t byte = 7) { return end.link.WriteComPort(&byte, 1); }

  End end;

 private:
  std::uint8_t buffer_[1024];
};

using Ends = ::testing::Types<SerialEnd, BluetoothEnd>;
TYPED_TEST_SUITE(ReceiverLinkContract, Ends);

// A quiet read waits, but briefly; a receiver that has gone fails at once, not after a wait.
TYPED_TEST(ReceiverLinkContract, EveryByteValuePassesUnchangedBothWaysUntilTheReceiverGoes) {
  ASSERT_TRUE(this->end.Open());
  std::vector<std::uint8_t> bytes(8 * 256);
  for (std::size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<std::uint8_t>(i * 7 + 3);
  this->end.ReceiverSends(bytes);
  EXPECT_EQ(this->ProgramReads(bytes.size()), bytes);
  ASSERT_TRUE(this->end.link.WriteComPort(bytes.data(), bytes.size()));
  EXPECT_EQ(this->end.ReceiverGets(bytes.size()), bytes);

  const auto before = this->end.clock.Elapsed();
  EXPECT_EQ(this->Read(), 0);
  EXPECT_GT(this->end.clock.Elapsed() - before, 0u);
  EXPECT_LE(this->end.clock.Elapsed() - before, 100u);

  this->end.ReceiverDisappears();
  EXPECT_LT(this->Read(), 0);
  EXPECT_FALSE(this->Write());
  const auto gone = this->end.clock.Elapsed();
  EXPECT_LT(this->Read(), 0);
  EXPECT_EQ(this->end.clock.Elapsed(), gone);
}

// The worker keeps using the link until it sees it closed, from another thread.
TYPED_TEST(ReceiverLinkContract, NothingMovesBeforeOpenOrAfterACloseAndTheLinkReopens) {
  EXPECT_EQ(this->Read(), 0);
  EXPECT_FALSE(this->Write());
  ASSERT_TRUE(this->end.Open());
  this->end.link.CloseComPort();
  this->end.link.CloseComPort();
  this->end.ReceiverSends({1, 2, 3});
  EXPECT_EQ(this->Read(), 0);
  EXPECT_FALSE(this->Write());

  ASSERT_TRUE(this->end.Open());
  EXPECT_TRUE(this->Write(9));
  EXPECT_EQ(this->end.ReceiverGets(1), std::vector<std::uint8_t>{9});
  std::atomic<bool> started{false};
  std::thread worker([&] {
    do {
      started.store(true);
    } while (this->Read() >= 0 && this->Write());
  });
  while (!started.load()) std::this_thread::yield();
  this->end.link.CloseComPort();
  worker.join();
  EXPECT_FALSE(this->Write());
}

TEST(ComLinkTest, AColonIsAppendedInTheCallersBufferOnlyWhenNoneIsThereAndItFits) {
  const std::pair<std::u16string, std::u16string> cases[] = {
      {u"COM4", u"COM4:"},
      {u"COM4:", u"COM4:"},
      {u"CO:M4", u"CO:M4"},        // a colon anywhere counts
      {u"ABCDEFG", u"ABCDEFG:"},   // exactly fits a 9-unit buffer with terminator
      {u"ABCDEFGH", u"ABCDEFGH"},  // no room left for the colon
      {u"", u":"},
  };
  VirtualClock clock;
  ComLink link(clock, nullptr);
  for (const auto& [name, after] : cases) {
    WideField<9> buffer{};
    SetFieldText(buffer, name);
    EXPECT_FALSE(link.OpenComPort(nullptr, buffer, 9600));
    EXPECT_EQ(FieldText(buffer), after);
  }
}

// Shown only with an owner, with the reason as detail: the system's, then what to do about it,
// for the causes met on the first day; for Bluetooth, the library's.
TEST(ComLinkTest, AFailedOpenWithAnOwnerSaysTheReasonAndWhatToDo) {
  VirtualClock clock;
  MemoryDeviceSource devices;
  devices.AddSerialPort(u"/dev/ttyUSB0");
  devices.AddSerialPort(u"/dev/ttyACM0");
  devices.AddBluetoothPort(u"/dev/rfcomm0");
  const std::string found = " Ports found: /dev/ttyACM0, /dev/ttyUSB0, /dev/rfcomm0.";
  PtyPair locked, held;
  ASSERT_EQ(chmod(locked.DevicePath().c_str(), 0), 0);
  SerialPort holder(clock);
  ASSERT_EQ(holder.Open(held.DevicePath(), 9600), std::error_code());
  // The holder is found by the device a link such as /dev/serial/by-id/... names.
  testing::TempFolder folder;
  const std::string byId = (folder.Path() / "by-id-receiver").string();
  std::filesystem::create_symlink(held.DevicePath(), byId);
  std::string self;
  std::getline(std::ifstream("/proc/self/comm"), self);
  FakeBluetoothLib library(clock);
  library.SetDevices({{u"only"}});
  library.SetOpenSucceeds(false, "Bluetooth: Host is down.");

  const struct {
    std::string device;  // empty: the Bluetooth link of `bluetooth`
    std::errc error;
    std::string detail;
    bool asUser = false;  // opened by a user whom file permissions hold
    BluetoothLib* bluetooth = nullptr;
  } cases[] = {
      {locked.DevicePath(), std::errc::permission_denied,
       locked.DevicePath() + ": Permission denied.\r\nAdd yourself to the dialout group: "
                             "sudo usermod -aG dialout $USER, then log in again.",
       true},
      {byId, std::errc::device_or_resource_busy,
       byId + ": Device or resource busy.\r\nAnother program holds the port: " + self +
           " (process " + std::to_string(getpid()) + ")."},
      {"/dev/quillon-missing", std::errc::no_such_file_or_directory,
       "/dev/quillon-missing: No such file or directory.\r\nThe device is not there." + found},
      {"/dev/null", std::errc::inappropriate_io_control_operation,
       "/dev/null: Inappropriate ioctl for device.\r\nIt is no serial device." + found},
      // A name from the command line drives no terminal.
      {"/dev/quillon\x1b[2J", std::errc::no_such_file_or_directory,
       "/dev/quillon?[2J: No such file or directory.\r\nThe device is not there." + found},
      {"", {}, "Bluetooth: Host is down.", false, &library},
      {"", {}, "Bluetooth is not available on this system."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.detail);
    RecordingMessageSink owner;
    ComLink link(clock, c.bluetooth, &devices);
    if (c.device.empty()) link.ChooseBluetooth(0, 1);
    LinkOpen quiet, result;
    std::thread opener([&] {
      if (c.asUser) {
        ASSERT_TRUE(testing::DropFilePrivilegesOfThisThread());
      }
      WideField<64> name{};
      SetFieldText(name, FromUtf8(c.device));
      quiet = link.OpenComPort(nullptr, name, 9600);
      result = link.OpenComPort(&owner, name, 9600);
    });
    opener.join();
    EXPECT_FALSE(quiet.opened || result.opened || link.IsComPortOpen());
    if (!c.device.empty()) {
      EXPECT_EQ(result.error, c.error);
    }
    EXPECT_EQ(ToUtf8(result.detail), c.detail);
    const auto boxes = owner.Boxes();
    ASSERT_EQ(boxes.size(), 1u);  // none for the open without an owner
    EXPECT_EQ(boxes[0].text, u"Unable to open COM Port.");
    EXPECT_EQ(boxes[0].icon, MessageIcon::kNone);
    EXPECT_EQ(boxes[0].detail, result.detail);
  }
}

// Causes a test cannot bring about for real.
TEST(ComLinkTest, ARefusedLineAndAHolderHiddenFromThisUserEachGetTheirHint) {
  PtyPair unheld;
  const std::pair<std::errc, std::string> cases[] = {
      {std::errc::invalid_argument,
       "Invalid argument.\r\nThe device refused the line settings: 14400 baud, 8 data bits, no "
       "parity, 1 stop bit, no flow control, raw bytes."},
      {std::errc::device_or_resource_busy,
       "Device or resource busy.\r\nAnother program holds the port (ModemManager and gpsd often "
       "take serial ports): sudo fuser -v " +
           unheld.DevicePath() + " names it."},
  };
  for (const auto& [error, detail] : cases) {
    EXPECT_EQ(
        ToUtf8(SerialOpenFailure(unheld.DevicePath(), std::make_error_code(error), 14400, nullptr)),
        unheld.DevicePath() + ": " + detail);
  }
}

}  // namespace
}  // namespace quillon
