#include "ntrip/reply.h"

#include <algorithm>
#include <charconv>

#include "common/printable_text.h"
#include "ntrip/header_fields.h"

namespace quillon {

std::string QuotedFirstLine(std::string_view reply) {
  constexpr std::size_t kShown = 80;
  const std::size_t begin = reply.find_first_not_of("\r\n");
  if (begin == std::string_view::npos) return {};
  reply.remove_prefix(begin);
  const std::string_view line = reply.substr(0, reply.find_first_of("\r\n"));
  const bool cut = line.size() > kShown;
  return "\"" + PrintableText(line.substr(0, kShown)) + (cut ? "...\"" : "\"");
}

bool ReplyContains(std::string_view received, std::string_view token) {
  const auto end = received.find('\0');
  if (end != std::string_view::npos) received = received.substr(0, end);
  return received.find(token) != std::string_view::npos;
}

int HttpStatusCode(std::string_view reply) {
  constexpr std::size_t kCodeAt = 9;  // behind "HTTP/1.x "
  if (!reply.starts_with("HTTP/1.0 ") && !reply.starts_with("HTTP/1.1 ")) return 0;
  const std::string_view code = reply.substr(kCodeAt, 3);
  const std::string_view after = reply.substr(std::min(kCodeAt + 3, reply.size()), 1);
  if (code.size() != 3 || !(after.empty() || after == " " || after == "\r")) return 0;
  int value = 0;
  for (const char c : code) {
    if (c < '0' || c > '9') return 0;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::optional<std::size_t> ContentLength(std::string_view headers) {
  const std::optional<std::string> value = HeaderValue(headers, "Content-Length");
  if (!value) return std::nullopt;
  std::size_t length = 0;
  const auto [last, problem] = std::from_chars(value->data(), value->data() + value->size(), length);
  if (value->empty() || problem != std::errc() || last != value->data() + value->size()) {
    return std::nullopt;
  }
  return length;
}

std::string DescribeCasterReply(std::string_view reply) {
  if (reply.find(kSourceTableSuccessToken) != std::string_view::npos) {
    return std::string(kSourceTableAnswerText);
  }
  const std::string quoted = QuotedFirstLine(reply);
  if (quoted.empty()) return "The caster sent no reply.";
  return "The caster replied " + quoted + ".";
}

std::string DescribeRefusedReply(std::string_view statusLine) {
  const int code = HttpStatusCode(statusLine);
  if (code == 200) {
    return "The caster speaks NTRIP version 2 only: it replied " + QuotedFirstLine(statusLine) +
           " to this version 1 login.";
  }
  if (code == 401) {
    return "The caster refused the user name or password: it replied " +
           QuotedFirstLine(statusLine) + ".";
  }
  return DescribeCasterReply(statusLine);
}

}  // namespace quillon
