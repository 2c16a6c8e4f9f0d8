#include "link/com_link.h"

#include <algorithm>
#include <string_view>

#include "common/strings.h"
#include "common/text.h"

namespace quillon {

ComLink::ComLink(Clock& clock, BluetoothLib* bluetooth) : state_(clock), bluetooth_(bluetooth) {}

void ComLink::ChooseBluetooth(std::int32_t device, std::int32_t port) {
  state_.btDevice.store(device);
  state_.btPort.store(port);
}

bool ComLink::OpenComPort(MessageSink* owner, char16_t* name, std::size_t capacity,
                          std::uint32_t baud) {
  if (InBluetoothMode()) {
    if (bluetooth_ != nullptr && bluetooth_->Open(state_.btDevice.load(), state_.btPort.load())) {
      return true;
    }
    // The library shows nothing itself: a link that does not open gets the serial port's
    // message, with the library's reason beside it.
    if (owner != nullptr) {
      const std::string reason = bluetooth_ != nullptr
                                     ? bluetooth_->OpenFailure()
                                     : "Bluetooth is not available on this system.";
      owner->Show(Message{LoadString(kStrUnableToOpenComPort), LoadString(kStrError),
                          MessageIcon::kNone, MessageButtons::kOk, EightBitToWide(reason)});
    }
    return false;
  }

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

  if (state_.hPort.Open(WideToEightBit(text), baud)) return true;
  if (owner != nullptr) {
    owner->Show(Message{LoadString(kStrUnableToOpenComPort), LoadString(kStrError),
                        MessageIcon::kNone, MessageButtons::kOk});
  }
  return false;
}

std::int32_t ComLink::ReadComPort(std::uint8_t* buffer, std::size_t capacity) {
  if (InBluetoothMode()) return bluetooth_ != nullptr ? bluetooth_->Read(buffer, capacity) : 0;
  return state_.hPort.Read(buffer, capacity);
}

bool ComLink::WriteComPort(const std::uint8_t* bytes, std::size_t count) {
  if (InBluetoothMode()) return bluetooth_ != nullptr && bluetooth_->Write(bytes, count);
  return state_.hPort.Write(bytes, count);
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
