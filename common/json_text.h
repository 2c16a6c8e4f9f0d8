// JSON for the commands' --format json and the status page: strings from the network are made
// printable before they are quoted, so a document never carries a control character to a
// terminal or a parser.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// `text` as a JSON string: quoted, with control characters and bytes that are not UTF-8 replaced
// by '?' (PrintableText), and '"' and '\' escaped.
std::string JsonString(std::string_view text);

// `value` with `decimals` digits after the point (DecimalText), or null.
std::string JsonNumberOrNull(const std::optional<double>& value, int decimals);

}  // namespace quillon
