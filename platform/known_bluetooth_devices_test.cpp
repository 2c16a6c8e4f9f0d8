#include "platform/known_bluetooth_devices.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>

#include "testing/temp_folder.h"

namespace quillon {
namespace {

using Names = std::vector<std::u16string>;

Names DeviceNames(const KnownBluetoothDevices& known) {
  Names names;
  for (const auto& device : known.devices) names.push_back(device.name);
  return names;
}

class KnownBluetoothDevicesTest : public ::testing::Test {
 protected:
  void WriteFile(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }

  testing::TempFolder temp_;
  const std::filesystem::path& folder_ = temp_.Path();
  const std::filesystem::path file_ = folder_ / kKnownBluetoothDevicesFile;
};

TEST_F(KnownBluetoothDevicesTest, RoundTripKeepsOrderNamesAndSelection) {
  KnownBluetoothDevices known;
  known.devices = {{{0, 1, 2, 3, 4, 5}, u"GNSS Receiver \u00C4 \u53D7\u4FE1\u6A5F"},
                   {{0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF}, u"R8 #2"},
                   {{1, 1, 1, 1, 1, 1}, u"two\nlines\tand tab"}};
  known.selected = 1;
  ASSERT_TRUE(SaveKnownBluetoothDevices(file_, known));
  const auto loaded = LoadKnownBluetoothDevices(file_);
  EXPECT_EQ(DeviceNames(loaded), (Names{known.devices[0].name, u"R8 #2",
                                        u"two lines and tab"}));  // a name cannot break its line
  for (std::size_t i = 0; i < 3 && i < loaded.devices.size(); ++i)
    EXPECT_EQ(loaded.devices[i].address, known.devices[i].address) << i;
  EXPECT_EQ(loaded.selected, 1);
}

TEST_F(KnownBluetoothDevicesTest, HandWrittenFileLosesOnlyTheLinesNotUnderstood) {
  WriteFile(
      "# comment\r\nselected 2\r\n00:11:22:33:44:55 Receiver A\r\nthis is not a device\n"
      "00:11:22:33:44:5 Short address\n00:11:22:33:44:5G Not hex\n00:1a:22:33:44:56\n\n"
      "00:11:22:33:44:57 \n00:11:22:33:44:58Glued\n");
  const auto loaded = LoadKnownBluetoothDevices(file_);
  // No name: shown by its address.
  EXPECT_EQ(DeviceNames(loaded),
            (Names{u"Receiver A", u"00:1A:22:33:44:56", u"00:11:22:33:44:57"}));
  EXPECT_EQ(loaded.selected, 2);

  // A selection that does not point into the list selects nothing.
  for (const std::string selected : {"selected 1", "selected -2", "selected x", "selected 0x"}) {
    WriteFile(selected + "\n00:11:22:33:44:55 Only\n");
    EXPECT_EQ(LoadKnownBluetoothDevices(file_).selected, -1) << selected;
  }
}

TEST_F(KnownBluetoothDevicesTest, MissingFileUnwritableFolderAndALinkLaidInWait) {
  EXPECT_TRUE(LoadKnownBluetoothDevices(file_).devices.empty());
  KnownBluetoothDevices other;
  other.devices = {{{9, 9, 9, 9, 9, 9}, u"Other"}};
  EXPECT_FALSE(SaveKnownBluetoothDevices(folder_ / "no-such-folder" / "bluetooth.txt", other));

  // A link laid in wait where a fixed temporary name would be is not followed.
  const auto victim = folder_ / "victim";
  std::ofstream(victim) << "untouched";
  std::filesystem::create_symlink(victim, file_.string() + ".new");
  EXPECT_TRUE(SaveKnownBluetoothDevices(file_, other));
  EXPECT_EQ(DeviceNames(LoadKnownBluetoothDevices(file_)), Names{u"Other"});
  std::stringstream text;
  text << std::ifstream(victim).rdbuf();
  EXPECT_EQ(text.str(), "untouched");
}

}  // namespace
}  // namespace quillon
