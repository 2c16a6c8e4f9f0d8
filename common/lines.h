// Text taken apart line by line.
#pragma once

#include <algorithm>
#include <string_view>

namespace quillon {

// The first line of `text`, without its line feed; `text` keeps what follows that.
inline std::string_view TakeLine(std::string_view& text) {
  const std::size_t end = std::min(text.find('\n'), text.size());
  const std::string_view line = text.substr(0, end);
  text.remove_prefix(std::min(end + 1, text.size()));
  return line;
}

}  // namespace quillon
