#include "ntrip/reply.h"

#include "common/printable_text.h"

namespace quillon {
namespace {

// The first line of `reply` behind any empty lines, quoted, cut to 80 bytes and with control
// characters replaced; empty when there is none.
std::string QuotedFirstLine(std::string_view reply) {
  constexpr std::size_t kShown = 80;
  const std::size_t begin = reply.find_first_not_of("\r\n");
  if (begin == std::string_view::npos) return {};
  reply.remove_prefix(begin);
  const std::string_view line = reply.substr(0, reply.find_first_of("\r\n"));
  const bool cut = line.size() > kShown;
  return "\"" + PrintableText(line.substr(0, kShown)) + (cut ? "...\"" : "\"");
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

struct Status {
  bool http = false;  // "HTTP/1.x" rather than "ICY"
  int code = 0;       // 0 when the line is no status line
};

// "HTTP/1.1 401 Unauthorized" or "ICY 200 OK": the protocol, a space and three digits that end
// the line or are followed by a space.
Status ReadStatus(std::string_view line) {
  Status status;
  std::string_view rest;
  if (line.starts_with("ICY ")) {
    rest = line.substr(4);
  } else if (line.starts_with("HTTP/1.") && line.size() > 9 && IsDigit(line[7]) && line[8] == ' ') {
    status.http = true;
    rest = line.substr(9);
  } else {
    return {};
  }
  const bool digits = rest.size() >= 3 && IsDigit(rest[0]) && IsDigit(rest[1]) && IsDigit(rest[2]);
  if (!digits) return {};
  const bool ended = rest.size() == 3 || rest[3] == ' ' || rest[3] == '\r' || rest[3] == '\n';
  if (!ended) return {};
  status.code = (rest[0] - '0') * 100 + (rest[1] - '0') * 10 + (rest[2] - '0');
  return status;
}

}  // namespace

bool ReplyContains(std::string_view received, std::string_view token) {
  const auto end = received.find('\0');
  if (end != std::string_view::npos) received = received.substr(0, end);
  return received.find(token) != std::string_view::npos;
}

std::string DescribeCasterReply(std::string_view reply) {
  if (reply.find(kSourceTableSuccessToken) != std::string_view::npos) {
    return "The caster answered with its source table: the mount point does not exist there.";
  }
  const std::string quoted = QuotedFirstLine(reply);
  if (quoted.empty()) return "The caster sent no reply.";
  return "The caster replied " + quoted + ".";
}

std::string DescribeRefusedReply(std::string_view statusLine) {
  const Status status = ReadStatus(statusLine);
  if (status.http && status.code == 200) {
    return "The caster speaks NTRIP version 2 only: it replied " + QuotedFirstLine(statusLine) +
           " to this version 1 login.";
  }
  if (status.code == 401) {
    return "The caster refused the user name or password: it replied " +
           QuotedFirstLine(statusLine) + ".";
  }
  return DescribeCasterReply(statusLine);
}

}  // namespace quillon
