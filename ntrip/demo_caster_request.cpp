#include "ntrip/demo_caster_request.h"

#include <cctype>
#include <cstdint>

namespace quillon::caster_internal {

namespace {

int Base64Value(char c) {
  if (c >= 'A' && c <= 'Z') return c - 'A';
  if (c >= 'a' && c <= 'z') return c - 'a' + 26;
  if (c >= '0' && c <= '9') return c - '0' + 52;
  if (c == '+') return 62;
  if (c == '/') return 63;
  return -1;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
  if (text.size() < prefix.size()) return false;
  for (std::size_t i = 0; i < prefix.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) !=
        std::tolower(static_cast<unsigned char>(prefix[i]))) {
      return false;
    }
  }
  return true;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}

}  // namespace

std::optional<std::string> DecodeBase64(std::string_view text) {
  if (text.size() % 4 != 0) return std::nullopt;
  std::string bytes;
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    int padding = 0;
    std::uint32_t group = 0;
    for (std::size_t j = 0; j < 4; ++j) {
      const char c = text[i + j];
      int value = 0;
      if (c == '=') {
        // Padding only at the end of the last group: "xx==" or "xxx=".
        if (!last || j < 2 || (j == 2 && text[i + 3] != '=')) return std::nullopt;
        ++padding;
      } else {
        if (padding > 0) return std::nullopt;
        value = Base64Value(c);
        if (value < 0) return std::nullopt;
      }
      group = (group << 6) | static_cast<std::uint32_t>(value);
    }
    bytes += static_cast<char>((group >> 16) & 0xFF);
    if (padding < 2) bytes += static_cast<char>((group >> 8) & 0xFF);
    if (padding < 1) bytes += static_cast<char>(group & 0xFF);
  }
  return bytes;
}

ParsedRequest ParseRequest(std::string_view request) {
  ParsedRequest parsed;
  const std::size_t lineEnd = request.find("\r\n");
  const std::string_view line = request.substr(0, lineEnd);

  if (line.starts_with("SOURCE ")) {
    const std::string_view rest = line.substr(7);
    const std::size_t slash = rest.rfind(" /");
    if (slash == std::string_view::npos) return parsed;
    parsed.line = RequestLine::kSource;
    parsed.password = rest.substr(0, slash);
    parsed.mountPoint = rest.substr(slash + 2);
    return parsed;
  }

  if (!line.starts_with("GET /")) return parsed;
  const std::string_view target = line.substr(5);
  const std::size_t blank = target.find(' ');
  if (blank == std::string_view::npos) return parsed;
  parsed.line = RequestLine::kGet;
  parsed.mountPoint = target.substr(0, blank);

  // Header lines follow the request line up to the empty line.
  std::size_t start = lineEnd == std::string_view::npos ? request.size() : lineEnd + 2;
  while (start < request.size()) {
    const std::size_t end = request.find("\r\n", start);
    const std::string_view header =
        request.substr(start, end == std::string_view::npos ? std::string_view::npos : end - start);
    if (header.empty()) break;
    if (StartsWithNoCase(header, "Authorization:")) {
      const std::string_view value = Trim(header.substr(14));
      if (StartsWithNoCase(value, "Basic "))
        parsed.credentials = DecodeBase64(Trim(value.substr(6)));
    }
    if (end == std::string_view::npos) break;
    start = end + 2;
  }
  return parsed;
}

}  // namespace quillon::caster_internal
