#include "ntrip/header_fields.h"

#include <algorithm>

namespace quillon {

bool EqualsNoCase(std::string_view a, std::string_view b) {
  const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(),
                                            [&](char x, char y) { return lower(x) == lower(y); });
}

std::string_view TrimBlanks(std::string_view text) {
  const std::size_t begin = text.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return text.substr(begin, text.find_last_not_of(" \t") - begin + 1);
}

std::optional<std::string_view> HeaderValue(std::string_view headers, std::string_view name) {
  while (!headers.empty()) {
    const std::size_t end = std::min(headers.find('\n'), headers.size());
    std::string_view line = headers.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualsNoCase(line.substr(0, colon), name)) {
      return TrimBlanks(line.substr(colon + 1));
    }
    headers.remove_prefix(std::min(end + 1, headers.size()));
  }
  return std::nullopt;
}

}  // namespace quillon
