#include "serve/caster_request.h"

#include "common/version.h"
#include "ntrip/base64.h"
#include "ntrip/header_fields.h"

namespace quillon {
namespace {

constexpr std::string_view kLineEnd = "\r\n";

std::string_view ReasonOf(int status) {
  switch (status) {
    case 200:
      return "OK";
    case 400:
      return "Bad Request";
    case 401:
      return "Unauthorized";
    case 404:
      return "Not Found";
    case 405:
      return "Method Not Allowed";
    case 503:
      return "Service Unavailable";
    default:
      return "Error";
  }
}

bool StartsWithNoCase(std::string_view text, std::string_view start) {
  return text.size() >= start.size() && EqualsNoCase(text.substr(0, start.size()), start);
}

struct Request {
  std::string_view method;
  std::string_view path;  // the target without its query
  std::string_view headers;
  bool version2 = false;
  bool browser = false;
};

// false for a head that is no HTTP request line followed by headers.
bool ParseHead(std::string_view head, Request& request) {
  const std::size_t lineEnd = head.find('\n');
  std::string_view line = head.substr(0, lineEnd);
  if (line.ends_with('\r')) line.remove_suffix(1);
  request.headers = head.substr(lineEnd + 1);
  const std::size_t first = line.find(' ');
  const std::size_t second = line.rfind(' ');
  if (first == std::string_view::npos || second == first) return false;
  request.method = line.substr(0, first);
  const std::string_view target = line.substr(first + 1, second - first - 1);
  if (!line.substr(second + 1).starts_with("HTTP/1.") || !target.starts_with('/')) return false;
  request.path = target.substr(0, target.find('?'));
  const std::optional<std::string> version = HeaderValue(request.headers, "Ntrip-Version");
  request.version2 = version && StartsWithNoCase(*version, "Ntrip/2");
  const std::string agent = HeaderValue(request.headers, "User-Agent").value_or("");
  request.browser = !version && !StartsWithNoCase(agent, "NTRIP");
  return true;
}

// The status line, and for NTRIP 2 its version header.
std::string StatusHead(bool version2, int status) {
  std::string head = version2 ? "HTTP/1.1 " : "HTTP/1.0 ";
  head.append(std::to_string(status)).append(" ").append(ReasonOf(status)).append(kLineEnd);
  if (version2) head.append("Ntrip-Version: Ntrip/2.0\r\n");
  head.append("Server: NTRIP quillon/").append(kVersion).append(kLineEnd);
  return head;
}

std::string WithBody(std::string head, std::string_view contentType, std::string_view body) {
  head.append("Content-Type: ").append(contentType).append(kLineEnd);
  head.append("Content-Length: ").append(std::to_string(body.size())).append(kLineEnd);
  head.append("Connection: close\r\n\r\n").append(body);
  return head;
}

CasterAnswer Refusal(bool version2, int status, std::string_view extraHeaders = {}) {
  std::string head = StatusHead(version2, status);
  head.append(extraHeaders);
  return {WithBody(std::move(head), "text/plain", std::string(ReasonOf(status)) + "\r\n")};
}

CasterAnswer SourceTable(bool version2, ListenerContent& content) {
  const std::string body = content.SourceTableRecords() + "ENDSOURCETABLE\r\n";
  if (version2) return {WithBody(StatusHead(true, 200), "gnss/sourcetable", body)};
  std::string head = "SOURCETABLE 200 OK\r\n";
  head.append("Server: NTRIP quillon/").append(kVersion).append(kLineEnd);
  return {WithBody(std::move(head), "text/plain", body)};
}

CasterAnswer PageAnswer(bool version2, const ListenerAnswer& page) {
  std::string head = StatusHead(version2, page.status);
  head.append("Cache-Control: no-store\r\n");
  return {WithBody(std::move(head), page.contentType, page.body)};
}

bool Authorized(std::string_view headers, const CasterRules& rules) {
  if (rules.basicTokens.empty()) return true;
  const std::string value = HeaderValue(headers, "Authorization").value_or("");
  if (!StartsWithNoCase(value, "Basic ")) return false;
  const std::string_view token = TrimBlanks(std::string_view(value).substr(6));
  for (const std::string& accepted : rules.basicTokens) {
    if (token == accepted) return true;
  }
  return false;
}

CasterAnswer StreamAnswer(const Request& request, const CasterRules& rules, bool full) {
  if (!Authorized(request.headers, rules)) {
    return Refusal(request.version2, 401,
                   "WWW-Authenticate: Basic realm=\"" + rules.mountPoint + "\"\r\n");
  }
  if (full) return Refusal(request.version2, 503);
  if (!request.version2) return {"ICY 200 OK\r\n", true, false};
  std::string head = StatusHead(true, 200);
  head.append("Content-Type: gnss/data\r\nCache-Control: no-store\r\n");
  head.append("Transfer-Encoding: chunked\r\nConnection: close\r\n\r\n");
  return {std::move(head), true, true};
}

}  // namespace

std::string BasicToken(std::string_view user, std::string_view password) {
  const std::string login = std::string(user) + ":" + std::string(password);
  return Base64Encode(reinterpret_cast<const std::uint8_t*>(login.data()), login.size(),
                      Base64Lines::kSingleLine);
}

std::optional<std::size_t> RequestHeadLength(std::string_view received) {
  // A bare LF ends lines as well: some small clients send no CR.
  for (std::size_t at = received.find('\n'); at != std::string_view::npos;
       at = received.find('\n', at + 1)) {
    const std::string_view rest = received.substr(at + 1);
    if (rest.starts_with("\n")) return at + 2;
    if (rest.starts_with("\r\n")) return at + 3;
  }
  return std::nullopt;
}

CasterAnswer AnswerRequest(std::string_view head, const CasterRules& rules,
                           ListenerContent& content, bool full) {
  Request request;
  if (!ParseHead(head, request)) return Refusal(false, 400);
  if (request.method != "GET") return Refusal(request.version2, 405, "Allow: GET\r\n");
  const std::string mountPath = "/" + rules.mountPoint;
  if (request.path == mountPath) return StreamAnswer(request, rules, full);
  const bool tableOrPage = request.path == "/";
  if (request.path == "/status.json" || request.path == "/metrics" ||
      (tableOrPage && request.browser)) {
    if (const auto page = content.Page(request.path)) return PageAnswer(request.version2, *page);
  }
  // An NTRIP 1 client that names a mount point not carried gets the table, as casters answer.
  if (tableOrPage || !request.version2) return SourceTable(request.version2, content);
  return Refusal(true, 404);
}

}  // namespace quillon
