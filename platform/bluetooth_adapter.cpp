#include "platform/bluetooth_adapter.h"

namespace quillon {
namespace {

int HexValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return -1;
}

}  // namespace

std::u16string AddressText(const BluetoothAddress& address) {
  constexpr char16_t kDigits[] = u"0123456789ABCDEF";
  std::u16string text;
  for (std::size_t i = 0; i < address.size(); ++i) {
    if (i > 0) text += u':';
    text += kDigits[address[i] >> 4];
    text += kDigits[address[i] & 0xF];
  }
  return text;
}

bool ParseAddress(std::u16string_view text, BluetoothAddress& address) {
  if (text.size() != 17) return false;
  BluetoothAddress parsed{};
  for (std::size_t i = 0; i < parsed.size(); ++i) {
    const std::size_t at = i * 3;
    if (i > 0 && text[at - 1] != u':') return false;
    const int high = HexValue(text[at]);
    const int low = HexValue(text[at + 1]);
    if (high < 0 || low < 0) return false;
    parsed[i] = static_cast<std::uint8_t>(high * 16 + low);
  }
  address = parsed;
  return true;
}

}  // namespace quillon
