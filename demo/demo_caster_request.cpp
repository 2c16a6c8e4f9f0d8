#include "demo/demo_caster_request.h"

#include <cstdint>

#include "ntrip/header_fields.h"

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

  const bool get = line.starts_with("GET /");
  if (!get && !line.starts_with("POST /")) return parsed;
  const std::string_view target = line.substr(get ? 5 : 6);
  const std::size_t blank = target.find(' ');
  if (blank == std::string_view::npos) return parsed;
  parsed.line = get ? RequestLine::kGet : RequestLine::kPost;
  parsed.mountPoint = target.substr(0, blank);

  // Header lines follow the request line up to the empty line.
  const std::string_view headers =
      lineEnd == std::string_view::npos ? std::string_view() : request.substr(lineEnd + 2);
  if (const auto value = HeaderValue(headers, "Authorization")) {
    constexpr std::string_view kBasic = "Basic ";
    if (value->size() > kBasic.size() && EqualsNoCase(value->substr(0, kBasic.size()), kBasic)) {
      parsed.credentials = DecodeBase64(TrimBlanks(value->substr(kBasic.size())));
    }
  }
  parsed.version2 = EqualsNoCase(HeaderValue(headers, "Ntrip-Version").value_or(""), "Ntrip/2.0");
  parsed.chunked = EqualsNoCase(HeaderValue(headers, "Transfer-Encoding").value_or(""), "chunked");
  parsed.hostMissing = line.ends_with(" HTTP/1.1") && !HeaderValue(headers, "Host");
  return parsed;
}

}  // namespace quillon::caster_internal
