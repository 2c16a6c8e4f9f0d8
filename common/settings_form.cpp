#include "common/settings_form.h"

#include <algorithm>
#include <limits>
#include <string>

#include "common/host_history.h"
#include "common/utf8.h"

namespace quillon {
namespace {

bool IsBlank(char16_t unit) { return unit == u' ' || (unit >= u'\t' && unit <= u'\r'); }

std::int32_t DecimalValue(std::u16string_view text) {
  std::size_t at = 0;
  while (at < text.size() && IsBlank(text[at])) ++at;
  bool negative = false;
  if (at < text.size() && (text[at] == u'+' || text[at] == u'-')) negative = text[at++] == u'-';
  constexpr std::int64_t kLimit = std::numeric_limits<std::int32_t>::max();
  std::int64_t value = 0;
  for (; at < text.size() && text[at] >= u'0' && text[at] <= u'9'; ++at) {
    // Held at the limit, as the conversion's range error leaves it.
    value = std::min(value * 10 + (text[at] - u'0'), kLimit + 1);
  }
  if (negative) return static_cast<std::int32_t>(-value);
  return static_cast<std::int32_t>(std::min(value, kLimit));
}

}  // namespace

std::u16string TooLongText(std::u16string_view box, std::size_t maxBytes) {
  const std::string limit = std::to_string(maxBytes);
  return u"The " + std::u16string(box) + u" is too long: it may take at most " +
         std::u16string(limit.begin(), limit.end()) +
         u" bytes (a letter with an accent takes two, other characters up to four).";
}

std::u16string TooLongControlText(const SettingsControls& controls) {
  const struct {
    const std::u16string* text;
    std::u16string_view box;
    std::size_t maxBytes;
  } texts[] = {
      {controls.userName ? &*controls.userName : nullptr, u"user name", kMaxCredentialBytes},
      {&controls.password, u"password", kMaxCredentialBytes},
      {&controls.address, u"address", kMaxAddressBytes},
      {&controls.mountPoint, u"mount point", kMaxMountPointBytes},
      {&controls.comPortName, u"COM port name", kMaxDevicePathBytes},
  };
  for (const auto& [text, box, maxBytes] : texts) {
    if (text != nullptr && Utf8Size(*text) > maxBytes) return TooLongText(box, maxBytes);
  }
  return {};
}

void ReadControlsInto(const SettingsControls& controls, SettingsRecord& record) {
  if (controls.userName) SetFieldText(record.userName, *controls.userName);
  SetFieldText(record.password, controls.password);
  SetCasterAddress(record, controls.address);
  SetFieldText(record.mountPoint, controls.mountPoint);
  record.port = DecimalValue(controls.port);
  record.comIndex = controls.comIndex;
  record.baudIndex = controls.baudIndex;
  record.noAuthentication = controls.noAuthentication ? 1 : 0;
  SetFieldText(record.comPortName, controls.comPortName);
  record.selectedHost = controls.selectedHost < 0 ? 0 : controls.selectedHost;
}

const HostEntry* TakeSelectedHost(SettingsRecord& record) {
  if (record.hostCount <= 0 || record.selectedHost < 0 || record.selectedHost >= record.hostCount ||
      record.selectedHost >= kMaxHosts) {
    return nullptr;
  }
  const HostEntry& entry = record.hosts[static_cast<std::size_t>(record.selectedHost)];
  SetFieldText(record.address, FieldText(entry.address));
  SetFieldText(record.userName, FieldText(entry.userName));
  SetFieldText(record.password, FieldText(entry.password));
  record.port = entry.port;
  record.protocol = entry.protocol;
  return &entry;
}

}  // namespace quillon
