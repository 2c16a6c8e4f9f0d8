// The Bluetooth library on Linux: a device list and a selected device that live for the process
// and are kept in the settings folder, discovery by inquiry, and the serial link as an RFCOMM
// stream socket whose channel is the chosen port number.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

#include "platform/bluetooth_adapter.h"
#include "platform/bluetooth_lib.h"
#include "platform/clock.h"
#include "platform/known_bluetooth_devices.h"
#include "platform/readiness_set.h"

namespace quillon {

// How long a read waits for the remote device's bytes; as short as the serial port's, for the
// same reason (it adds to every pass of the Rover's loop).
inline constexpr std::uint32_t kBluetoothReadWaitMs = 10;
// The longest a connect to the remote device may take (a page to a device that is off or out of
// range otherwise takes as long as the controller likes).
inline constexpr std::uint32_t kRfcommConnectLimitMs = 20000;

// Thread use: the list operations run on the user-interface thread, Open/Read/Write on the
// session worker; Close may come from either, also while the worker is inside Open, Read or
// Write: it shuts the socket down so that call returns promptly, and the descriptor is
// released only when nobody uses it any more.
class BluezBluetoothLib final : public BluetoothLib {
 public:
  // Loads the known devices from `deviceFile`.
  BluezBluetoothLib(std::unique_ptr<BluetoothAdapter> adapter, Clock& clock,
                    std::filesystem::path deviceFile);
  ~BluezBluetoothLib() override;

  // Inquiry; on success the devices found replace the list (the selected device keeps its
  // place when it was found again, otherwise none is selected) and the file is written.
  bool Discover() override;
  // Connects to RFCOMM channel `port` (1 to 30) of device `device`; a port outside that range,
  // such as 0 when none was chosen, opens nothing. An open link is closed first. The connect
  // waits through the clock, at most kRfcommConnectLimitMs, and ends within a step of a Close.
  bool Open(std::int32_t device, std::int32_t port) override;
  std::string OpenFailure() override;
  std::int32_t DeviceCount() override;
  bool ReadDevice(std::int32_t index, std::u16string& name) override;
  void Close() override;
  // An adapter exists.
  bool IsUsable() override;
  bool Write(const std::uint8_t* bytes, std::size_t count) override;
  // Waits up to kBluetoothReadWaitMs through the clock. 0 when nothing came or no link is open;
  // -1 once the remote device has gone (until the next Open).
  std::int32_t Read(std::uint8_t* buffer, std::size_t capacity) override;
  int ReadyHandle() override { return ready_.Handle(); }
  // Ignored for an index outside the list; otherwise kept in the file.
  void SelectDevice(std::int32_t index) override;
  // -1 when none is selected.
  std::int32_t SelectedDevice() override;
  // An adapter exists and is powered up.
  bool IsRadioOn() override;

 private:
  class Socket;

  std::shared_ptr<Socket> CurrentLink();
  void SaveLocked();
  bool Failed(std::string why);

  std::unique_ptr<BluetoothAdapter> adapter_;
  Clock& clock_;
  const std::filesystem::path deviceFile_;

  std::mutex mutex_;
  KnownBluetoothDevices known_;
  std::shared_ptr<Socket> connecting_;
  std::shared_ptr<Socket> link_;
  std::string openFailure_;  // guarded by mutex_
  ReadinessSet ready_;       // holds the link's socket while it is open
};

// The program's library: the BlueZ adapter, the real clock and the file in the settings folder.
std::unique_ptr<BluetoothLib> MakeSystemBluetoothLib();

}  // namespace quillon
