#include "common/host_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

std::vector<std::u16string> MountPoints(const HostEntry& entry) {
  std::vector<std::u16string> names;
  for (std::int32_t i = 0; i < entry.mountPointCount; ++i) {
    names.emplace_back(FieldText(entry.mountPoints[static_cast<std::size_t>(i)]));
  }
  return names;
}

std::vector<std::u16string> Addresses(const SettingsRecord& record) {
  std::vector<std::u16string> addresses;
  for (std::int32_t i = 0; i < record.hostCount; ++i) {
    addresses.emplace_back(FieldText(record.hosts[static_cast<std::size_t>(i)].address));
  }
  return addresses;
}

// The record as a session leaves it just before the login is remembered.
void Connect(SettingsRecord& record, std::u16string_view address, std::int32_t port,
             std::u16string_view mountPoint, std::u16string_view password = u"pw") {
  SetFieldText(record.address, address);
  record.port = port;
  SetFieldText(record.userName, u"user");
  SetFieldText(record.password, password);
  SetFieldText(record.mountPoint, mountPoint);
  UpdateHostHistory(record);
}

TEST(HostHistoryTest, FindHostComparesWholeAddressesOfUsedEntriesOnly) {
  SettingsRecord record;
  record.hostCount = 3;
  SetFieldText(record.hosts[0].address, u"Caster.example");
  SetFieldText(record.hosts[1].address, u"caster.example");
  SetFieldText(record.hosts[2].address, u"caster.example");
  SetFieldText(record.hosts[3].address, u"unused.example");

  EXPECT_EQ(FindHost(record, u"caster.example"), 1);  // first equal, case counts
  EXPECT_EQ(FindHost(record, u"Caster.example"), 0);
  EXPECT_EQ(FindHost(record, u"caster.exampl"), -1);
  EXPECT_EQ(FindHost(record, u"caster.example "), -1);
  EXPECT_EQ(FindHost(record, u"unused.example"), -1);

  record.hostCount = 50;  // set out of range in memory: still no read past the list
  EXPECT_EQ(FindHost(record, u"unused.example"), 3);
  EXPECT_EQ(FindHost(record, u"nowhere"), -1);
}

TEST(HostHistoryTest, RememberMountPointAppendsSelectsAndWrapsAtTen) {
  HostEntry entry;
  RememberMountPoint(entry, u"A");
  RememberMountPoint(entry, u"B");
  RememberMountPoint(entry, u"a");  // case-sensitive: a new name
  EXPECT_EQ(MountPoints(entry), (std::vector<std::u16string>{u"A", u"B", u"a"}));
  EXPECT_EQ(entry.selectedMountPoint, 2);

  RememberMountPoint(entry, u"A");
  EXPECT_EQ(entry.mountPointCount, 3);
  EXPECT_EQ(entry.selectedMountPoint, 0);

  for (char16_t c = u'C'; c <= u'I'; ++c) RememberMountPoint(entry, std::u16string(1, c));
  EXPECT_EQ(entry.mountPointCount, 10);
  EXPECT_EQ(entry.selectedMountPoint, 9);

  // A known name on a full list is selected, nothing is overwritten.
  RememberMountPoint(entry, u"B");
  EXPECT_EQ(entry.selectedMountPoint, 1);
  EXPECT_EQ(FieldText(entry.mountPoints[0]), u"A");

  // The eleventh name replaces slot 0 and the count stays 10.
  RememberMountPoint(entry, u"K");
  EXPECT_EQ(MountPoints(entry), (std::vector<std::u16string>{u"K", u"B", u"a", u"C", u"D", u"E",
                                                             u"F", u"G", u"H", u"I"}));
  EXPECT_EQ(entry.selectedMountPoint, 0);
  RememberMountPoint(entry, u"L");
  EXPECT_EQ(FieldText(entry.mountPoints[0]), u"L");
  EXPECT_EQ(entry.mountPointCount, 10);
}

TEST(HostHistoryTest, RememberMountPointLastEqualEntryWins) {
  HostEntry entry;
  entry.mountPointCount = 4;
  for (auto [slot, name] : {std::pair{0, u"X"}, {1, u"Y"}, {2, u"X"}, {3, u"Z"}}) {
    SetFieldText(entry.mountPoints[static_cast<std::size_t>(slot)], name);
  }
  RememberMountPoint(entry, u"X");
  EXPECT_EQ(entry.selectedMountPoint, 2);
  EXPECT_EQ(entry.mountPointCount, 4);
}

TEST(HostHistoryTest, RememberMountPointWithAnOutOfRangeCountStaysInTheList) {
  HostEntry entry;
  entry.mountPointCount = 1000;
  RememberMountPoint(entry, u"NEW");
  EXPECT_EQ(entry.mountPointCount, 10);
  EXPECT_EQ(entry.selectedMountPoint, 0);
  EXPECT_EQ(FieldText(entry.mountPoints[0]), u"NEW");

  entry = HostEntry{};
  entry.mountPointCount = -3;
  RememberMountPoint(entry, u"NEW");
  EXPECT_EQ(MountPoints(entry), std::vector<std::u16string>{u"NEW"});
}

TEST(HostHistoryTest, FirstLoginFillsSlotZero) {
  SettingsRecord record;
  Connect(record, u"rtk.example", 2101, u"VRS", u"secret");
  ASSERT_EQ(record.hostCount, 1);
  EXPECT_EQ(record.selectedHost, 0);
  const HostEntry& entry = record.hosts[0];
  EXPECT_EQ(FieldText(entry.address), u"rtk.example");
  EXPECT_EQ(entry.port, 2101);
  EXPECT_EQ(FieldText(entry.userName), u"user");
  EXPECT_EQ(FieldText(entry.password), u"secret");
  EXPECT_EQ(MountPoints(entry), std::vector<std::u16string>{u"VRS"});
  EXPECT_EQ(entry.selectedMountPoint, 0);
}

TEST(HostHistoryTest, SameCasterAgainSelectsItsEntryAndAddsNothing) {
  SettingsRecord record;
  Connect(record, u"one.example", 2101, u"A");
  Connect(record, u"two.example", 2101, u"B");
  Connect(record, u"one.example", 2101, u"C");
  Connect(record, u"two.example", 2101, u"D");
  const SettingsRecord before = record;

  Connect(record, u"one.example", 2101, u"A");
  EXPECT_EQ(record.hostCount, 2);
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(MountPoints(record.hosts[0]), (std::vector<std::u16string>{u"A", u"C"}));
  EXPECT_EQ(record.hosts[0].selectedMountPoint, 0);
  EXPECT_EQ(record.hosts[1], before.hosts[1]);
}

TEST(HostHistoryTest, SameAddressWithOtherPortOrPasswordUpdatesTheEntry) {
  SettingsRecord record;
  Connect(record, u"one.example", 2101, u"A", u"old");
  Connect(record, u"two.example", 2101, u"A");
  Connect(record, u"one.example", 8080, u"A", u"new");
  EXPECT_EQ(Addresses(record), (std::vector<std::u16string>{u"one.example", u"two.example"}));
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(record.hosts[0].port, 8080);
  EXPECT_EQ(FieldText(record.hosts[0].password), u"new");
  EXPECT_EQ(record.hosts[0].mountPointCount, 1);
}

TEST(HostHistoryTest, SixthAndSeventhCasterReplaceSlotZero) {
  SettingsRecord record;
  for (const auto* address : {u"c1", u"c2", u"c3", u"c4", u"c5"}) {
    Connect(record, address, 2101, u"MP");
  }
  const SettingsRecord fiveStored = record;

  Connect(record, u"c6", 2106, u"SIX");
  EXPECT_EQ(Addresses(record), (std::vector<std::u16string>{u"c6", u"c2", u"c3", u"c4", u"c5"}));
  EXPECT_EQ(record.hostCount, 5);
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(record.hosts[0].port, 2106);
  // The new caster does not inherit the mount points of the one it replaced.
  EXPECT_EQ(MountPoints(record.hosts[0]), std::vector<std::u16string>{u"SIX"});
  for (std::size_t slot = 1; slot < 5; ++slot) EXPECT_EQ(record.hosts[slot], fiveStored.hosts[slot]);

  Connect(record, u"c7", 2107, u"SEVEN");
  EXPECT_EQ(Addresses(record), (std::vector<std::u16string>{u"c7", u"c2", u"c3", u"c4", u"c5"}));

  // A stored caster in another slot is still found and selected.
  Connect(record, u"c4", 2101, u"MP");
  EXPECT_EQ(record.selectedHost, 3);
  EXPECT_EQ(record.hosts[3], fiveStored.hosts[3]);
}

TEST(HostHistoryTest, ElevenMountPointsOnOneCaster) {
  SettingsRecord record;
  for (int i = 1; i <= 11; ++i) {
    Connect(record, u"rtk.example", 2101, u"MP" + std::u16string(1, char16_t(u'A' + i - 1)));
  }
  const HostEntry& entry = record.hosts[0];
  EXPECT_EQ(record.hostCount, 1);
  EXPECT_EQ(entry.mountPointCount, 10);
  EXPECT_EQ(entry.selectedMountPoint, 0);
  EXPECT_EQ(MountPoints(entry), (std::vector<std::u16string>{u"MPK", u"MPB", u"MPC", u"MPD",
                                                             u"MPE", u"MPF", u"MPG", u"MPH",
                                                             u"MPI", u"MPJ"}));
}

TEST(HostHistoryTest, CorruptCountsInMemoryCannotReachPastTheList) {
  SettingsRecord record;
  record.hostCount = 77;
  record.selectedHost = -9;
  for (auto& entry : record.hosts) entry.mountPointCount = 500;
  Connect(record, u"new.example", 2101, u"MP");
  EXPECT_EQ(record.hostCount, 5);
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(MountPoints(record.hosts[0]), std::vector<std::u16string>{u"MP"});
}

}  // namespace
}  // namespace quillon
