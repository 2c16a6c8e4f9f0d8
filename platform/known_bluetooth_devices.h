// The Bluetooth devices the library knows, and its selected one, kept across restarts in a
// small text file of the settings folder: a "selected N" line, then one
// "00:11:22:33:44:55 Name" line per device in list order. A user may add a device by hand.
#pragma once

#include <cstdint>
#include <filesystem>
#include <vector>

#include "platform/bluetooth_adapter.h"

namespace quillon {

inline constexpr char kKnownBluetoothDevicesFile[] = "bluetooth.txt";

struct KnownBluetoothDevices {
  std::vector<BluetoothDevice> devices;
  std::int32_t selected = -1;  // index into devices, -1 when none
};

// Reads `file`. A missing file gives no devices; a line that is not understood is traced and
// skipped, the others are kept; a selection outside the list becomes -1.
KnownBluetoothDevices LoadKnownBluetoothDevices(const std::filesystem::path& file);

// Replaces `file` with `known` as ReplaceFile does (mode 0600; the old file stays whole when
// writing fails). Control characters in names are written as spaces, so that every device stays
// on its line. false when the file cannot be written, or `file` is empty (no settings folder).
bool SaveKnownBluetoothDevices(const std::filesystem::path& file,
                               const KnownBluetoothDevices& known);

}  // namespace quillon
