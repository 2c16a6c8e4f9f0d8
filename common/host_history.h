// The history of casters (five) and of the mount points used with each (ten) that both modes
// keep in their settings record.
#pragma once

#include <cstdint>
#include <string_view>

#include "common/settings_record.h"

namespace quillon {

// The slot of the first used host entry whose address equals `address` (whole text, exact,
// case-sensitive), or -1.
std::int32_t FindHost(const SettingsRecord& record, std::u16string_view address);

// Records `mountPoint` in the entry's list and selects it: an equal name already listed is
// selected (the last one when several are equal); otherwise it goes into the next free slot,
// or over slot 0 when all ten are used.
void RememberMountPoint(HostEntry& entry, std::u16string_view mountPoint);

// Puts `address` into the record. When it names another caster than the record held, the
// record's protocol becomes the one saved with that caster in the history, or NTRIP version 1
// without TLS for a caster the history does not know: a protocol belongs to its caster.
void SetCasterAddress(SettingsRecord& record, std::u16string_view address);

// Makes `protocol` the record's, and that of the record's caster in the history when the
// history knows it, so that choosing the caster from the list brings it back.
void SetCasterProtocol(SettingsRecord& record, const CasterProtocol& protocol);

// Records the record's caster (address, port, user name, password, protocol) and mount point in
// the history and selects that entry. The address is the key: a known address updates its entry.
// A new caster takes the next free slot, or slot 0 when all five are used, and starts with an
// empty mount-point list. The file is not written here.
void UpdateHostHistory(SettingsRecord& record);

}  // namespace quillon
