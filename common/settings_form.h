// The values of a mode dialog's settings controls, and how they move into the settings record.
// The dialogs read their widgets into SettingsControls; everything the values mean lives here,
// once for the Rover and the Base.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/settings_record.h"

namespace quillon {

struct SettingsControls {
  std::optional<std::u16string> userName;  // the Rover's user-name box; the Base has none
  std::u16string password;
  std::u16string address;          // the address list's text
  std::int32_t selectedHost = -1;  // the address list's selected position; -1: none or typed
  std::u16string port;             // the port box's text
  std::u16string mountPoint;       // the mount-point list's text
  std::int32_t comIndex = -1;      // the COM port list's selected position
  std::u16string comPortName;      // the COM port list's text
  std::int32_t baudIndex = -1;     // the baud-rate list's selected position
  bool noAuthentication = false;   // the Rover's tick box; the Base stores 0
};

// The line that refuses a text of the `box` (its name, "user name") longer than `maxBytes`.
std::u16string TooLongText(std::u16string_view box, std::size_t maxBytes);

// The first text that is longer than its field's maximum in bytes of UTF-8 (user name and
// password 255, address 253, mount point 127, COM port name 255), as one line for the user that
// names the box and the limit; empty when every text fits. An edit box counts UTF-16 units,
// which cannot express a limit in bytes: such a text is refused, never cut.
std::u16string TooLongControlText(const SettingsControls& controls);

// ReadControls: texts as they are (TooLongControlText has let them through), the port as the C
// library's decimal conversion reads the text (leading blanks and a sign allowed, digits up to the
// first other character, 0 when there are none, held to the 32-bit range), the positions as they
// are, the selected host 0 when nothing is selected. A user name that is not given keeps the
// record's. The address goes in with SetCasterAddress: a caster typed anew brings its own protocol.
void ReadControlsInto(const SettingsControls& controls, SettingsRecord& record);

// ApplyHostEntry's part on the record: when the selected host names a used entry, copies its
// address, port, user name, password and protocol into the record and returns the entry, for
// the dialog to show; otherwise null and the record is unchanged.
const HostEntry* TakeSelectedHost(SettingsRecord& record);

}  // namespace quillon
