// The receiver link: the byte pipe to the GNSS receiver, either a serial device or the
// Bluetooth library's serial link. The four operations hide which one is in use.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <string>
#include <system_error>

#include "common/long_field.h"
#include "platform/bluetooth_lib.h"
#include "platform/clock.h"
#include "platform/device_source.h"
#include "platform/message_sink.h"
#include "platform/serial_port.h"

namespace quillon {

struct ComLinkState {
  explicit ComLinkState(Clock& clock) : hPort(clock) {}

  // The serial device; closed when no serial link is open.
  SerialPort hPort;
  // Index of the chosen Bluetooth device, -1 when none: >= 0 means Bluetooth mode. Written by
  // the Bluetooth selection on OK and reset by every Connect; closing leaves it alone.
  std::atomic<std::int32_t> btDevice{-1};
  // Bluetooth port number (1 or 2, 0 when none was chosen); -1 when none.
  std::atomic<std::int32_t> btPort{-1};
};

// How OpenComPort went.
struct LinkOpen {
  bool opened = false;
  // The serial device's reason from the system; empty when open and for a Bluetooth link,
  // whose library says why in words.
  std::error_code error;
  // Why the link did not open, as the message's detail: empty when open.
  std::u16string detail;

  explicit operator bool() const { return opened; }
};

// One per process, handed to the workers and the dialogs. Open, read and write run on the
// session worker; close may also run on the user-interface thread while the worker is inside
// a read or write (the stop sequence): that call returns promptly and nothing is reused under it.
class ComLink {
 public:
  // `bluetooth` may be null when the platform has no Bluetooth library: Bluetooth mode then
  // never opens. `devices`, when given, names the ports found when a device is not there.
  ComLink(Clock& clock, BluetoothLib* bluetooth, DeviceSource* devices = nullptr);

  ComLinkState& State() { return state_; }
  bool InBluetoothMode() const { return state_.btDevice.load() >= 0; }

  // The Bluetooth selection's OK, and the Connect handlers' reset (device and port -1).
  void ChooseBluetooth(std::int32_t device, std::int32_t port);
  void ClearBluetoothChoice() { ChooseBluetooth(-1, -1); }

  // Bluetooth mode: opens the library's link to the chosen device; name and baud unused.
  // Otherwise: appends ":" to `name` (a zero-terminated buffer of `capacity` units) when it has
  // no ":" anywhere and there is room, closes an open serial device, and opens the named one.
  // When either fails, the result says why (SerialOpenFailure for a serial device, the
  // library's reason for Bluetooth) and, when `owner` is given, shows "Unable to open COM
  // Port." with caption "Error", no icon, and that reason as its detail.
  LinkOpen OpenComPort(MessageSink* owner, char16_t* name, std::size_t capacity,
                       std::uint32_t baud);

  template <std::size_t N>
  LinkOpen OpenComPort(MessageSink* owner, WideField<N>& name, std::uint32_t baud) {
    return OpenComPort(owner, name.data(), N, baud);
  }

  // A settings record's device path: the ":" goes into the whole text while it stays within the
  // field's maximum.
  template <std::size_t N, std::size_t MaxBytes>
  LinkOpen OpenComPort(MessageSink* owner, LongField<N, MaxBytes>& name, std::uint32_t baud) {
    std::u16string text(FieldText(name));
    text.resize(text.size() + 2, u'\0');  // room for the ":" and the terminator
    LinkOpen result = OpenComPort(owner, text.data(), text.size(), baud);
    SetFieldText(name, text);
    return result;
  }

  // Up to `capacity` bytes into `buffer`, waiting a short bounded time; no terminator is
  // written. The count, 0 when none arrived or the link is closed, negative when the receiver
  // has gone (serial device hung up; the library's negative results pass unchanged).
  std::int32_t ReadComPort(std::uint8_t* buffer, std::size_t capacity);

  // true only when all `count` bytes were taken; false at once on a closed link. `stalled` as
  // SerialPort::Write tells it (a serial device only).
  bool WriteComPort(const std::uint8_t* bytes, std::size_t count, const WriteStalled& stalled = {});

  // Drops what the receiver sent that nobody has read yet (at most a few reads' worth on a
  // Bluetooth link), so that the next read is live.
  void DiscardInput();

  // Readable while the open link has bytes to read or has gone; valid for the link's life, so a
  // session may wait on it while the stop sequence closes the link. -1 when there is none.
  int ReadyHandle();

  // Closes the link; any time, any number of times. In Bluetooth mode the library's close is
  // called every time.
  void CloseComPort();

  // Whether a serial device is open (never in Bluetooth mode).
  bool IsComPortOpen() const { return state_.hPort.IsOpen(); }

 private:
  LinkOpen OpenBluetooth(MessageSink* owner);

  ComLinkState state_;
  BluetoothLib* bluetooth_;
  DeviceSource* devices_;
};

}  // namespace quillon
