// Numbers written for people and for JSON alike: a "." whatever the locale, so a line in the
// journal or a JSON document reads the same under every LC_NUMERIC.
#pragma once

#include <string>

namespace quillon {

// `value` with `decimals` digits after the point ("12.3" for 12.34 and 1), rounded to nearest.
// Not finite: "nan", "inf" or "-inf".
std::string DecimalText(double value, int decimals);

}  // namespace quillon
