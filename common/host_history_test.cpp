#include "common/host_history.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace quillon {
namespace {

using Names = std::vector<std::u16string>;

template <class Fields>
Names Texts(const Fields& fields, std::int32_t count, auto field) {
  Names names;
  for (std::int32_t i = 0; i < count; ++i) names.emplace_back(FieldText(field(fields[i])));
  return names;
}
Names MountPoints(const HostEntry& entry) {
  return Texts(entry.mountPoints, entry.mountPointCount, [](const auto& f) { return f; });
}
Names Addresses(const SettingsRecord& record) {
  return Texts(record.hosts, record.hostCount, [](const HostEntry& h) { return h.address; });
}

void Login(SettingsRecord& record, std::u16string_view address, std::u16string_view mountPoint,
           std::int32_t port = 2101, std::u16string_view password = u"pw") {
  SetFieldText(record.address, address);
  SetFieldText(record.mountPoint, mountPoint);
  SetFieldText(record.password, password);
  record.port = port;
  UpdateHostHistory(record);
}

TEST(HostHistoryTest, MountPointsAppendSelectAndWrapAtTen) {
  HostEntry entry;
  for (auto name : {u"A", u"B", u"a", u"A"}) RememberMountPoint(entry, name);
  EXPECT_EQ(MountPoints(entry), (Names{u"A", u"B", u"a"}));
  EXPECT_EQ(entry.selectedMountPoint, 0);
  SetFieldText(entry.mountPoints[2], u"A");  // two equal names: the last one is taken
  RememberMountPoint(entry, u"A");
  EXPECT_EQ(entry.selectedMountPoint, 2);
  for (auto name : {u"D", u"E", u"F", u"G", u"H", u"I", u"J", u"K"})
    RememberMountPoint(entry, name);
  EXPECT_EQ(MountPoints(entry),
            (Names{u"K", u"B", u"A", u"D", u"E", u"F", u"G", u"H", u"I", u"J"}));
  EXPECT_EQ(entry.selectedMountPoint, 0);
  RememberMountPoint(entry, u"B");  // known on a full list: selected, nothing overwritten
  EXPECT_EQ(entry.selectedMountPoint, 1);
  EXPECT_EQ(FieldText(entry.mountPoints[0]), u"K");
}

// Whole texts are compared, not the 19 units the image keeps.
TEST(HostHistoryTest, AKnownCasterIsFoundByItsWholeAddressAndUpdatedInPlace) {
  const std::u16string gnss = u"ntrip.data.gnss.ga.gov.au";
  const std::u16string other = u"ntrip.data.gnss.ga.gov.example";
  const std::u16string mount = u"SYDNEY-CORS-RTCM32-MSM7";
  SettingsRecord record;
  Login(record, gnss, mount, 2101, u"old");
  Login(record, other, mount);
  Login(record, gnss, mount + u"-GLO");
  const HostEntry second = record.hosts[1];
  Login(record, gnss, mount, 8080, u"new");
  EXPECT_EQ(Addresses(record), (Names{gnss, other}));
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(record.hosts[0].port, 8080);
  EXPECT_EQ(FieldText(record.hosts[0].password), u"new");
  EXPECT_EQ(MountPoints(record.hosts[0]), (Names{mount, mount + u"-GLO"}));
  EXPECT_EQ(record.hosts[0].selectedMountPoint, 0);
  EXPECT_EQ(record.hosts[1], second);
  // FindHost matches whole, case-sensitive addresses of used entries.
  record.hostCount = 3;
  const Names addresses = {u"Caster", u"caster", u"caster", u"unused"};
  for (std::size_t slot = 0; slot < 4; ++slot)
    SetFieldText(record.hosts[slot].address, addresses[slot]);
  for (auto [address, slot] :
       {std::pair{u"caster", 1}, {u"Caster", 0}, {u"caste", -1}, {u"unused", -1}})
    EXPECT_EQ(FindHost(record, address), slot);
}

TEST(HostHistoryTest, ACasterPastTheFifthOrAnOutOfRangeCountReplacesSlotZero) {
  SettingsRecord record;
  for (auto address : {u"c1", u"c2", u"c3", u"c4", u"c5"}) Login(record, address, u"MP");
  const SettingsRecord fiveStored = record;
  Login(record, u"c6", u"SIX", 2106);
  EXPECT_EQ(Addresses(record), (Names{u"c6", u"c2", u"c3", u"c4", u"c5"}));
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(record.hosts[0].port, 2106);
  // The new caster does not inherit the mount points of the one it replaced.
  EXPECT_EQ(MountPoints(record.hosts[0]), Names{u"SIX"});
  for (std::size_t slot = 1; slot < 5; ++slot)
    EXPECT_EQ(record.hosts[slot], fiveStored.hosts[slot]);
  Login(record, u"c7", u"SEVEN");
  EXPECT_EQ(Addresses(record), (Names{u"c7", u"c2", u"c3", u"c4", u"c5"}));
  Login(record, u"c4", u"MP");
  EXPECT_EQ(record.selectedHost, 3);
  EXPECT_EQ(record.hosts[3], fiveStored.hosts[3]);
  // Out-of-range counts in memory stay inside the record.
  record.hostCount = 77;
  record.selectedHost = -9;
  for (auto& entry : record.hosts) entry.mountPointCount = 500;
  Login(record, u"new", u"MP");
  EXPECT_EQ(record.hostCount, 5);
  EXPECT_EQ(record.selectedHost, 0);
  EXPECT_EQ(MountPoints(record.hosts[0]), Names{u"MP"});
}

// Choosing a known caster brings its protocol back; a new one starts with NTRIP 1.
TEST(HostHistoryTest, EachCasterKeepsItsProtocol) {
  const CasterProtocol version2{NtripVersion::k2, false, ""};
  const CasterProtocol tls{NtripVersion::k2, true, "/etc/ca.pem"};
  SettingsRecord record;
  SetCasterAddress(record, u"a.example");
  record.protocol = version2;
  Login(record, u"a.example", u"MP");
  SetCasterAddress(record, u"b.example");
  EXPECT_EQ(record.protocol, CasterProtocol{});
  Login(record, u"b.example", u"MP");
  SetCasterAddress(record, u"a.example");
  EXPECT_EQ(record.protocol, version2);
  SetCasterProtocol(record, tls);
  EXPECT_EQ(record.hosts[0].protocol, tls);
  EXPECT_EQ(record.hosts[1].protocol, CasterProtocol{});
  SetCasterAddress(record, u"a.example");  // the same caster: nothing changes
  EXPECT_EQ(record.protocol, tls);
  SetCasterAddress(record, u"c.example");
  SetCasterProtocol(record, version2);  // not in the history: the record's alone
  EXPECT_EQ(record.hosts[0].protocol, tls);
  EXPECT_EQ(record.hosts[1].protocol, CasterProtocol{});
  SetCasterAddress(record, u"b.example");
  EXPECT_EQ(record.protocol, CasterProtocol{});
}

}  // namespace
}  // namespace quillon
