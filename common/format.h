// printf-style formatting of UTF-16 message texts with the few conversions the string table
// uses: %d (integer), %s (text), %% (percent sign).
#pragma once

#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>
#include <variant>

namespace quillon {

using FormatArg = std::variant<std::int64_t, std::u16string_view>;

// Arguments are taken in order; a conversion without an argument, or with one of the wrong
// kind, is written as it stands. Other conversions are copied unchanged.
std::u16string FormatText(std::u16string_view format, std::initializer_list<FormatArg> args);

}  // namespace quillon
