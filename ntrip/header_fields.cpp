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

std::optional<std::string> HeaderValue(std::string_view headers, std::string_view name) {
  std::optional<std::string> value;
  while (!headers.empty()) {
    const std::size_t end = std::min(headers.find('\n'), headers.size());
    std::string_view line = headers.substr(0, end);
    if (line.ends_with('\r')) line.remove_suffix(1);
    headers.remove_prefix(std::min(end + 1, headers.size()));
    const bool folded = line.starts_with(' ') || line.starts_with('\t');
    if (value && folded) {
      // Read otherwise, "Transfer-Encoding:" folded before "chunked" would leave the chunk
      // sizes in the stream.
      const std::string_view more = TrimBlanks(line);
      if (!value->empty() && !more.empty()) value->push_back(' ');
      value->append(more);
      continue;
    }
    if (value) return value;
    const std::size_t colon = line.find(':');
    if (colon != std::string_view::npos && EqualsNoCase(line.substr(0, colon), name)) {
      value = std::string(TrimBlanks(line.substr(colon + 1)));
    }
  }
  return value;
}

}  // namespace quillon
