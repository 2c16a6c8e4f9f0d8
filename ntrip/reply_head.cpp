#include "ntrip/reply_head.h"

#include <algorithm>

#include "ntrip/header_fields.h"
#include "ntrip/reply.h"

namespace quillon {
namespace {

// Where the empty line that ends the head ends, or npos.
std::size_t HeadEnd(std::string_view reply) {
  for (std::size_t lf = reply.find('\n'); lf != std::string_view::npos;
       lf = reply.find('\n', lf + 1)) {
    const std::size_t next = lf + 1;
    if (reply.substr(next, 1) == "\n") return next + 1;
    if (reply.substr(next, 2) == "\r\n") return next + 2;
  }
  return std::string_view::npos;
}

std::string Lower(std::string_view text) {
  std::string out(text);
  std::transform(out.begin(), out.end(), out.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; });
  return out;
}

}  // namespace

std::optional<ReplyHead> ParseReplyHead(std::string_view reply) {
  const std::size_t end = HeadEnd(reply);
  if (end == std::string_view::npos) return std::nullopt;
  ReplyHead head;
  head.size = end;
  const std::size_t lineEnd = reply.find('\n');
  head.statusLine = reply.substr(0, lineEnd);
  if (head.statusLine.ends_with('\r')) head.statusLine.remove_suffix(1);
  head.status = HttpStatusCode(reply);
  head.headers = reply.substr(lineEnd + 1, end - lineEnd - 1);

  if (const auto coding = HeaderValue(head.headers, "Transfer-Encoding")) {
    head.chunked = EqualsNoCase(*coding, "chunked");
    if (!head.chunked && !coding->empty()) head.otherCoding = *coding;
  }
  head.contentLength = ContentLength(head.headers);
  if (const auto type = HeaderValue(head.headers, "Content-Type")) {
    head.contentType = Lower(TrimBlanks(type->substr(0, std::min(type->find(';'), type->size()))));
  }
  return head;
}

}  // namespace quillon
