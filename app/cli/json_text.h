// JSON for the commands' --format json: strings from the network are made printable before they
// are quoted, so a document never carries a control character to a terminal or a parser.
#pragma once

#include <string>
#include <string_view>

namespace quillon::cli {

// `text` as a JSON string: quoted, with control characters and bytes that are not UTF-8 replaced
// by '?' (PrintableText), and '"' and '\' escaped.
std::string JsonString(std::string_view text);

}  // namespace quillon::cli
