// The Bluetooth serial library: a list of known devices with a selected one, device discovery,
// and one serial byte link to a remote device. One method per operation the program uses.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

class BluetoothLib {
 public:
  virtual ~BluetoothLib() = default;

  // Runs a device discovery and blocks until it is done; afterwards DeviceCount and
  // ReadDevice show the new list. true on success.
  virtual bool Discover() = 0;

  // Opens the serial link to device `device` (index into the list) on port `port`
  // (1 or 2; 0 when none was chosen). true when open. May be called while a link is open.
  virtual bool Open(std::int32_t device, std::int32_t port) = 0;

  // Why the last Open failed, as one sentence in the system's words where it has them; empty
  // when there is nothing to say.
  virtual std::string OpenFailure() = 0;

  // Number of devices in the list, 0 or more.
  virtual std::int32_t DeviceCount() = 0;

  // The display name of device `index`; false when that record cannot be read.
  virtual bool ReadDevice(std::int32_t index, std::u16string& name) = 0;

  // Closes the serial link. May be called when no link is open, and more than once, and from
  // another thread while Read or Write runs there (the stop sequence): they then return promptly.
  virtual void Close() = 0;

  // Whether Bluetooth is usable here (offers the "BLUETOOTH" pseudo-port).
  virtual bool IsUsable() = 0;

  // Writes all `count` bytes; false unless every byte was taken.
  virtual bool Write(const std::uint8_t* bytes, std::size_t count) = 0;

  // Reads up to `capacity` bytes, waiting a short bounded time; the number read, 0 when none.
  virtual std::int32_t Read(std::uint8_t* buffer, std::size_t capacity) = 0;

  // A descriptor, valid for the library's life, that polls readable while the open link has
  // bytes to read or has gone (see ReadinessSet); a session waits on it.
  virtual int ReadyHandle() = 0;

  // Makes device `index` the selected one.
  virtual void SelectDevice(std::int32_t index) = 0;

  // The selected device's index into the list.
  virtual std::int32_t SelectedDevice() = 0;

  // Whether the Bluetooth radio is on.
  virtual bool IsRadioOn() = 0;
};

}  // namespace quillon
