#include "link/com_link.h"

#include <algorithm>
#include <string_view>

#include "common/strings.h"
#include "common/utf8.h"
#include "link/serial_open_failure.h"

namespace quillon {

namespace {

// The link's one message; the detail says why.
void ShowUnableToOpen(MessageSink* owner, const std::u16string& detail) {
  if (owner == nullptr) return;
  owner->Show(Message{LoadString(kStrUnableToOpenComPort), LoadString(kStrError),
                      MessageIcon::kNone, MessageButtons::kOk, detail});
}

}  // namespace

ComLink::ComLink(Clock& clock, BluetoothLib* bluetooth, DeviceSource* devices)
    : state_(clock), bluetooth_(bluetooth), devices_(devices) {}

void ComLink::ChooseBluetooth(std::int32_t device, std::int32_t port) {
  state_.btDevice.store(device);
  state_.btPort.store(port);
}

LinkOpen ComLink::OpenBluetooth(MessageSink* owner) {
  if (bluetooth_ != nullptr && bluetooth_->Open(state_.btDevice.load(), state_.btPort.load())) {
    return LinkOpen{true, {}, {}};
  }
  // The library shows nothing itself: a link that does not open gets the serial port's
  // message, with the library's reason beside it.
  const std::string reason = bluetooth_ != nullptr ? bluetooth_->OpenFailure()
                                                   : "Bluetooth is not available on this system.";
  LinkOpen result{false, {}, FromUtf8(reason)};
  ShowUnableToOpen(owner, result.detail);
  return result;
}

LinkOpen ComLink::OpenComPort(MessageSink* owner, char16_t* name, std::size_t capacity,
                              std::uint32_t baud) {
  if (InBluetoothMode()) return OpenBluetooth(owner);

  std::u16string_view text;
  if (name != nullptr && capacity > 0) {
    const char16_t* end = std::find(name, name + capacity, u'\0');
    text = std::u16string_view(name, static_cast<std::size_t>(end - name));
    // Room means the colon and a terminator both fit.
    if (text.find(u':') == std::u16string_view::npos && text.size() + 2 <= capacity) {
      name[text.size()] = u':';
      name[text.size() + 1] = u'\0';
      text = std::u16string_view(name, text.size() + 1);
    }
  }

  const std::string device = SerialDevicePath(ToUtf8(text));
  const std::error_code error = state_.hPort.Open(device, baud);
  if (!error) return LinkOpen{true, {}, {}};
  LinkOpen result{false, error, SerialOpenFailure(device, error, baud, devices_)};
  ShowUnableToOpen(owner, result.detail);
  return result;
}

std::int32_t ComLink::ReadComPort(std::uint8_t* buffer, std::size_t capacity) {
  if (InBluetoothMode()) return bluetooth_ != nullptr ? bluetooth_->Read(buffer, capacity) : 0;
  return state_.hPort.Read(buffer, capacity);
}

bool ComLink::WriteComPort(const std::uint8_t* bytes, std::size_t count,
                           const WriteStalled& stalled) {
  if (InBluetoothMode()) return bluetooth_ != nullptr && bluetooth_->Write(bytes, count);
  return state_.hPort.Write(bytes, count, stalled);
}

void ComLink::DiscardInput() {
  if (!InBluetoothMode()) {
    state_.hPort.DiscardInput();
    return;
  }
  // The library keeps no input queue of its own to flush: read what is there, a bounded amount,
  // so that a receiver that never pauses cannot hold the session here.
  constexpr int kMostReads = 16;
  std::uint8_t dropped[1024];
  for (int i = 0; i < kMostReads && ReadComPort(dropped, sizeof dropped) == sizeof dropped; ++i) {
  }
}

int ComLink::ReadyHandle() {
  if (InBluetoothMode()) return bluetooth_ != nullptr ? bluetooth_->ReadyHandle() : -1;
  return state_.hPort.ReadyHandle();
}

void ComLink::CloseComPort() {
  if (InBluetoothMode()) {
    if (bluetooth_ != nullptr) bluetooth_->Close();
    return;
  }
  state_.hPort.Close();
}

}  // namespace quillon
