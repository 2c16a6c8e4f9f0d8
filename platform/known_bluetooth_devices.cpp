#include "platform/known_bluetooth_devices.h"

#include <charconv>
#include <cstdio>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "common/atomic_file.h"
#include "common/guard.h"
#include "common/lines.h"
#include "common/text.h"

namespace quillon {
namespace {

constexpr std::string_view kSelectedPrefix = "selected ";
constexpr std::size_t kAddressLength = 17;

bool ParseNarrowAddress(std::string_view text, BluetoothAddress& address) {
  std::u16string wide;
  for (const char c : text) wide += static_cast<char16_t>(static_cast<unsigned char>(c));
  return ParseAddress(wide, address);
}

bool ParseDevice(std::string_view line, BluetoothDevice& device) {
  if (line.size() < kAddressLength ||
      !ParseNarrowAddress(line.substr(0, kAddressLength), device.address)) {
    return false;
  }
  if (line.size() == kAddressLength) {
    device.name = AddressText(device.address);
    return true;
  }
  if (line[kAddressLength] != ' ') return false;
  device.name = EightBitToWide(line.substr(kAddressLength + 1));
  if (device.name.empty()) device.name = AddressText(device.address);
  return true;
}

std::string LineText(std::u16string_view name) {
  std::string text(WideToEightBit(name));
  for (char& c : text) {
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) c = ' ';
  }
  return text;
}

}  // namespace

KnownBluetoothDevices LoadKnownBluetoothDevices(const std::filesystem::path& file) {
  KnownBluetoothDevices known;
  // C stdio rather than a file stream: the command line then links no locale machinery.
  const std::unique_ptr<std::FILE, int (*)(std::FILE*)> in(std::fopen(file.c_str(), "rbe"),
                                                           &std::fclose);
  if (!in) return known;
  std::string text;
  char chunk[4096];
  for (std::size_t got; (got = std::fread(chunk, 1, sizeof chunk, in.get())) > 0;) {
    text.append(chunk, got);
  }
  int number = 0;
  std::int32_t selected = -1;
  for (std::string_view rest = text; !rest.empty();) {
    ++number;
    std::string_view line = TakeLine(rest);
    if (line.ends_with('\r')) line.remove_suffix(1);
    if (line.empty() || line.front() == '#') continue;
    if (line.starts_with(kSelectedPrefix)) {
      const char* first = line.data() + kSelectedPrefix.size();
      const char* last = line.data() + line.size();
      const auto result = std::from_chars(first, last, selected);
      if (result.ec == std::errc() && result.ptr == last) continue;
      selected = -1;
    } else if (BluetoothDevice device; ParseDevice(line, device)) {
      known.devices.push_back(std::move(device));
      continue;
    }
    Trace(file.string() + ":" + std::to_string(number) + ": not understood, skipped");
  }
  if (selected >= 0 && static_cast<std::size_t>(selected) < known.devices.size()) {
    known.selected = selected;
  }
  return known;
}

bool SaveKnownBluetoothDevices(const std::filesystem::path& file,
                               const KnownBluetoothDevices& known) {
  std::string text = "# Bluetooth devices known to ZEP Quillon: address, then name\n";
  text += std::string(kSelectedPrefix) + std::to_string(known.selected) + "\n";
  for (const auto& device : known.devices) {
    text += std::string(WideToEightBit(AddressText(device.address))) + " " + LineText(device.name) +
            "\n";
  }

  return !ReplaceFile(file,
                      std::span(reinterpret_cast<const std::uint8_t*>(text.data()), text.size()));
}

}  // namespace quillon
