#include "platform/bluez_bluetooth_lib.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <future>
#include <vector>

#include "platform/settings_folder.h"
#include "testing/scripted_bluetooth_adapter.h"
#include "testing/temp_folder.h"
#include "testing/virtual_clock.h"

namespace quillon {
namespace {

using Names = std::vector<std::u16string>;
using Connect = testing::ScriptedAdapter::Connect;
using testing::ScriptedAdapter;

const BluetoothDevice kReceiverA{{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}, u"Receiver A"};
const BluetoothDevice kReceiverB{{0x00, 0x11, 0x22, 0x33, 0x44, 0x66}, u"Receiver B"};
const BluetoothDevice kReceiverC{{0x00, 0x11, 0x22, 0x33, 0x44, 0x77}, u"Receiver C"};

class BluezBluetoothLibTest : public ::testing::Test {
 protected:
  // A library whose adapter finds `devices` on the first discovery, which has run.
  std::unique_ptr<BluezBluetoothLib> MakeLib(std::vector<BluetoothDevice> devices = {}) {
    auto adapter = std::make_unique<ScriptedAdapter>();
    adapter_ = adapter.get();
    auto lib = std::make_unique<BluezBluetoothLib>(std::move(adapter), clock_, file_);
    adapter_->inquiryFinds = std::move(devices);
    if (!adapter_->inquiryFinds.empty()) {
      EXPECT_TRUE(lib->Discover());
    }
    return lib;
  }

  static Names DeviceNames(BluetoothLib& lib) {
    Names names(static_cast<std::size_t>(lib.DeviceCount()));
    for (std::size_t i = 0; i < names.size(); ++i)
      EXPECT_TRUE(lib.ReadDevice(static_cast<std::int32_t>(i), names[i]));
    return names;
  }

  testing::VirtualClock clock_;
  testing::TempFolder folder_;
  const std::filesystem::path file_ = folder_.Path() / kKnownBluetoothDevicesFile;
  ScriptedAdapter* adapter_ = nullptr;
};

// Every operation of a library without an adapter fails quietly.
void ExpectNothingWorks(BluetoothLib& lib) {
  EXPECT_FALSE(lib.IsUsable());
  EXPECT_FALSE(lib.IsRadioOn());
  EXPECT_FALSE(lib.Discover());
  EXPECT_FALSE(lib.Open(0, 1));
  std::uint8_t buffer[16] = {};
  EXPECT_EQ(lib.Read(buffer, sizeof buffer), 0);
  EXPECT_FALSE(lib.Write(buffer, sizeof buffer));
  lib.Close();
  lib.Close();
}

TEST_F(BluezBluetoothLibTest, WithoutAnAdapterNothingWorksAndNothingBreaks) {
  auto lib = MakeLib();
  adapter_->present = adapter_->up = false;
  ExpectNothingWorks(*lib);
  adapter_->present = true;  // there but down: usable, radio off
  EXPECT_TRUE(lib->IsUsable());
  EXPECT_FALSE(lib->IsRadioOn());

  if (MakeBluezAdapter()->Present()) GTEST_SKIP() << "this machine has a Bluetooth adapter";
  setenv("QUILLON_SETTINGS_DIR", folder_.Path().c_str(), 1);
  auto system = MakeSystemBluetoothLib();
  unsetenv("QUILLON_SETTINGS_DIR");
  ExpectNothingWorks(*system);
}

TEST_F(BluezBluetoothLibTest, DiscoveryReplacesTheListAndItSurvivesARestart) {
  const Names cab = {u"Receiver C", u"Receiver A", u"Receiver B"};
  {
    auto lib = MakeLib({kReceiverA, kReceiverB});
    lib->SelectDevice(1);
    lib->SelectDevice(2);  // outside the list: ignored
    // Receiver B is found again at another place: it stays selected.
    adapter_->inquiryFinds = {kReceiverC, kReceiverA, kReceiverB};
    ASSERT_TRUE(lib->Discover());
    EXPECT_EQ(DeviceNames(*lib), cab);
    EXPECT_EQ(lib->SelectedDevice(), 2);
    adapter_->inquirySucceeds = false;  // a failed discovery keeps what was known
    adapter_->inquiryFinds = {};
    EXPECT_FALSE(lib->Discover());
  }
  auto restarted = MakeLib();
  EXPECT_EQ(DeviceNames(*restarted), cab);
  EXPECT_EQ(restarted->SelectedDevice(), 2);
  // The selected device not found again: nothing is selected.
  adapter_->inquiryFinds = {kReceiverA};
  ASSERT_TRUE(restarted->Discover());
  EXPECT_EQ(restarted->SelectedDevice(), -1);
}

TEST_F(BluezBluetoothLibTest, PortNumberIsTheChannelAndZeroOpensNothing) {
  auto lib = MakeLib({kReceiverA, kReceiverB});
  for (const auto& [device, port, opens] : {std::tuple{1, 1, true},
                                            {0, 2, true},
                                            {0, 0, false},
                                            {0, -1, false},
                                            {0, 31, false},
                                            {2, 1, false},
                                            {-1, 1, false}}) {
    EXPECT_EQ(lib->Open(device, port), opens) << device << "," << port;
  }
  EXPECT_EQ(adapter_->Connects(),
            (std::vector<Connect>{{kReceiverB.address, 1}, {kReceiverA.address, 2}}));
  adapter_->connectSucceeds = false;
  EXPECT_FALSE(lib->Open(0, 1));
  EXPECT_EQ(lib->OpenFailure(), "Bluetooth: Connection refused.");
  const std::uint8_t byte = 0;
  EXPECT_FALSE(lib->Write(&byte, 1));  // the refused open left no link behind
  EXPECT_FALSE(lib->Open(0, 0));
  EXPECT_EQ(lib->OpenFailure(), "No Bluetooth port was chosen.");
}

// The receiver link's contract runs through this library too; here what it does not see.
TEST_F(BluezBluetoothLibTest, AReadTakesNoMoreThanAskedAndOpeningAgainReplacesTheLink) {
  auto lib = MakeLib({kReceiverA});
  ASSERT_TRUE(lib->Open(0, 1));
  const int remote = adapter_->RemoteEnd();
  std::uint8_t buffer[8] = {};
  const auto before = clock_.Elapsed();
  EXPECT_EQ(lib->Read(buffer, sizeof buffer), 0);  // silence: a bounded wait, then 0
  EXPECT_EQ(clock_.Elapsed() - before, kBluetoothReadWaitMs);
  ASSERT_EQ(::write(remote, "0123456789ab", 12), 12);
  EXPECT_EQ(lib->Read(buffer, sizeof buffer), 8);
  EXPECT_EQ(lib->Read(buffer, sizeof buffer), 4);
  ASSERT_TRUE(lib->Open(0, 2));
  EXPECT_EQ(::read(remote, buffer, 1), 0);  // the first remote end sees the link close
}

TEST_F(BluezBluetoothLibTest, AConnectThatNeverEndsIsGivenUpAfterItsLimit) {
  auto lib = MakeLib({kReceiverA});
  adapter_->connectHangs = true;
  // Ended by a Close from another thread, the open reports failure.
  auto opening = std::async(std::launch::async, [&] { return lib->Open(0, 1); });
  adapter_->connectStarted.get_future().wait();
  lib->Close();
  ASSERT_EQ(opening.wait_for(std::chrono::seconds(10)), std::future_status::ready);
  EXPECT_FALSE(opening.get());
  EXPECT_EQ(lib->OpenFailure(), "The Bluetooth link was closed while it connected.");

  adapter_->connectStarted = {};
  clock_.SetRealPollMs(1);
  const auto before = clock_.Elapsed();
  EXPECT_FALSE(lib->Open(0, 1));
  EXPECT_EQ(clock_.Elapsed() - before, kRfcommConnectLimitMs);
  EXPECT_EQ(lib->OpenFailure(), "Bluetooth: Connection timed out.");
}

}  // namespace
}  // namespace quillon
