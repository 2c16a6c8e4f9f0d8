// Header lines of an HTTP message as casters and clients send them: "Name: value", the name in
// any case, each line ended by CR LF or LF. A line that begins with a blank or a tab goes on the
// value of the line before it (obsolete line folding).
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// ASCII letters compared without case; every other byte exactly.
bool EqualsNoCase(std::string_view a, std::string_view b);

// `text` without the blanks and tabs around it.
std::string_view TrimBlanks(std::string_view text);

// The value of the first line of `headers` whose name is `name` (without case), without the
// blanks around it, and its folded lines each behind one blank, as RFC 9112 has a client read
// them; nothing when no line has that name.
std::optional<std::string> HeaderValue(std::string_view headers, std::string_view name);

}  // namespace quillon
