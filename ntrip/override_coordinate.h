// The texts of the GGA override position as the override dialog shows and reads them: decimal
// degrees with a "." whatever the user's locale, as on the handheld, so that what the dialog
// shows reads back as the same number.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// `degrees` with six decimals, as "%f" writes it: "35.500000", "-0.125000".
std::string CoordinateText(double degrees);

// `text` as the C library's decimal conversion reads it: leading blanks, an optional sign, a
// decimal number with an optional exponent; characters behind it are ignored. A text that does
// not begin with a number, and a number outside the range of a double or not finite ("inf",
// "nan"), give 0.
double CoordinateValue(std::u16string_view text);

}  // namespace quillon
