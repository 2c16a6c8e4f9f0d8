// The machine's Bluetooth adapter as the Bluetooth library needs it: presence, power, an
// inquiry with names, and RFCOMM stream sockets. The BlueZ implementation is the only code that
// talks to the kernel's Bluetooth stack; tests give the library a scripted adapter instead.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quillon {

// A device address in the order it is written, "00:11:22:33:44:55" = {0x00, 0x11, ... 0x55}.
using BluetoothAddress = std::array<std::uint8_t, 6>;

struct BluetoothDevice {
  BluetoothAddress address{};
  std::u16string name;
};

class BluetoothAdapter {
 public:
  virtual ~BluetoothAdapter() = default;

  // Whether the machine has a Bluetooth adapter at all.
  virtual bool Present() = 0;

  // Whether an adapter is powered up.
  virtual bool Up() = 0;

  // Inquires for devices in range and reads their names; blocks until done. false when the
  // inquiry cannot run; `found` then is left empty. A device whose name cannot be read is
  // reported under its address text.
  virtual bool Inquire(std::vector<BluetoothDevice>& found) = 0;

  // A new, unconnected RFCOMM stream socket; -1 on failure.
  virtual int NewRfcommSocket() = 0;

  // Starts connecting `socket` to RFCOMM channel `channel` of `address` without blocking.
  // Returns 0 when connected at once, EINPROGRESS when the connect goes on (the socket becomes
  // writable once it has ended, and SO_ERROR tells how), otherwise the error number.
  virtual int StartRfcommConnect(int socket, const BluetoothAddress& address,
                                 std::uint8_t channel) = 0;
};

// The first adapter of the kernel's Bluetooth stack (BlueZ). Without Bluetooth support or an
// adapter, Present() and Up() are false and nothing else succeeds.
std::unique_ptr<BluetoothAdapter> MakeBluezAdapter();

// "00:11:22:33:44:55"
std::u16string AddressText(const BluetoothAddress& address);

// Parses "00:11:22:33:44:55" (either letter case); false unless the whole text is an address.
bool ParseAddress(std::u16string_view text, BluetoothAddress& address);

}  // namespace quillon
