#include "common/host_history.h"

#include <algorithm>

namespace quillon {

std::int32_t FindHost(const SettingsRecord& record, std::u16string_view address) {
  // The clamp keeps a count that a caller set out of range from reading past the list.
  const std::int32_t used = std::clamp(record.hostCount, std::int32_t{0}, kMaxHosts);
  for (std::int32_t i = 0; i < used; ++i) {
    if (FieldText(record.hosts[static_cast<std::size_t>(i)].address) == address) return i;
  }
  return -1;
}

void RememberMountPoint(HostEntry& entry, std::u16string_view mountPoint) {
  const std::int32_t count = std::clamp(entry.mountPointCount, std::int32_t{0}, kMaxMountPoints);
  std::int32_t target = count < kMaxMountPoints ? count : 0;
  bool found = false;
  for (std::int32_t i = 0; i < count; ++i) {
    if (FieldText(entry.mountPoints[static_cast<std::size_t>(i)]) == mountPoint) {
      target = i;
      found = true;
    }
  }
  entry.mountPointCount = !found && count < kMaxMountPoints ? count + 1 : count;
  entry.selectedMountPoint = target;
  SetFieldText(entry.mountPoints[static_cast<std::size_t>(target)], mountPoint);
}

void SetCasterAddress(SettingsRecord& record, std::u16string_view address) {
  if (FieldText(record.address) != address) {
    const std::int32_t slot = FindHost(record, address);
    record.protocol =
        slot < 0 ? CasterProtocol{} : record.hosts[static_cast<std::size_t>(slot)].protocol;
  }
  SetFieldText(record.address, address);
}

void SetCasterProtocol(SettingsRecord& record, const CasterProtocol& protocol) {
  record.protocol = protocol;
  const std::int32_t slot = FindHost(record, FieldText(record.address));
  if (slot >= 0) record.hosts[static_cast<std::size_t>(slot)].protocol = protocol;
}

void UpdateHostHistory(SettingsRecord& record) {
  ClampSettings(record);
  std::int32_t slot = FindHost(record, FieldText(record.address));
  if (slot < 0) {
    if (record.hostCount < kMaxHosts) {
      slot = record.hostCount++;
    } else {
      slot = 0;
    }
    // The mount points of the caster this slot held before mean nothing for the new one.
    record.hosts[static_cast<std::size_t>(slot)] = HostEntry{};
  }
  record.selectedHost = slot;
  HostEntry& entry = record.hosts[static_cast<std::size_t>(slot)];
  SetFieldText(entry.address, FieldText(record.address));
  entry.port = record.port;
  SetFieldText(entry.userName, FieldText(record.userName));
  SetFieldText(entry.password, FieldText(record.password));
  entry.protocol = record.protocol;
  RememberMountPoint(entry, FieldText(record.mountPoint));
}

}  // namespace quillon
