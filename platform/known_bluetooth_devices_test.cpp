#include "platform/known_bluetooth_devices.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>
#include <sstream>
#include <string>

#include "testing/temp_folder.h"

namespace quillon {
namespace {

class KnownBluetoothDevicesTest : public ::testing::Test {
 protected:
  void WriteFile(const std::string& text) { std::ofstream(file_, std::ios::binary) << text; }
  static std::string ReadFile(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
  }

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

  struct stat info {};
  ASSERT_EQ(::stat(file_.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_FALSE(std::filesystem::exists(file_.string() + ".new"));

  const auto loaded = LoadKnownBluetoothDevices(file_);
  ASSERT_EQ(loaded.devices.size(), 3u);
  EXPECT_EQ(loaded.selected, 1);
  EXPECT_EQ(loaded.devices[0].address, known.devices[0].address);
  EXPECT_EQ(loaded.devices[0].name, known.devices[0].name);
  EXPECT_EQ(loaded.devices[1].name, u"R8 #2");
  EXPECT_EQ(loaded.devices[2].name, u"two lines and tab");  // a name cannot break its line
}

TEST_F(KnownBluetoothDevicesTest, HandWrittenFileLosesOnlyTheLinesNotUnderstood) {
  WriteFile(
      "# comment\r\n"
      "selected 2\r\n"
      "00:11:22:33:44:55 Receiver A\r\n"
      "this is not a device\n"
      "00:11:22:33:44:5 Short address\n"
      "00:11:22:33:44:5G Not hex\n"
      "00:1a:22:33:44:56\n"
      "\n"
      "00:11:22:33:44:57 \n"
      "00:11:22:33:44:58Glued\n");
  const auto loaded = LoadKnownBluetoothDevices(file_);
  ASSERT_EQ(loaded.devices.size(), 3u);
  EXPECT_EQ(loaded.devices[0].name, u"Receiver A");
  EXPECT_EQ(loaded.devices[1].name, u"00:1A:22:33:44:56");  // no name: shown by its address
  EXPECT_EQ(loaded.devices[2].name, u"00:11:22:33:44:57");
  EXPECT_EQ(loaded.selected, 2);

  // A selection that does not point into the list selects nothing.
  for (const std::string selected : {"selected 1", "selected -2", "selected x", "selected 0x"}) {
    WriteFile(selected + "\n00:11:22:33:44:55 Only\n");
    EXPECT_EQ(LoadKnownBluetoothDevices(file_).selected, -1) << selected;
  }
}

TEST_F(KnownBluetoothDevicesTest, MissingFileUnwritableFolderAndALinkLaidInWait) {
  EXPECT_TRUE(LoadKnownBluetoothDevices(file_).devices.empty());
  EXPECT_EQ(LoadKnownBluetoothDevices(file_).selected, -1);
  KnownBluetoothDevices other;
  other.devices = {{{9, 9, 9, 9, 9, 9}, u"Other"}};
  EXPECT_FALSE(SaveKnownBluetoothDevices(folder_ / "no-such-folder" / "bluetooth.txt", other));

  // The new list never goes through a name prepared beforehand: a link waiting where a fixed
  // temporary name would be is not followed, so the file it points to stays as it was.
  const auto victim = folder_ / "victim";
  std::ofstream(victim) << "untouched";
  std::filesystem::create_symlink(victim, file_.string() + ".new");
  EXPECT_TRUE(SaveKnownBluetoothDevices(file_, other));
  EXPECT_EQ(LoadKnownBluetoothDevices(file_).devices.size(), 1u);
  EXPECT_EQ(ReadFile(victim), "untouched");
}

}  // namespace
}  // namespace quillon
