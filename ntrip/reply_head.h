// The head of an HTTP reply, as NTRIP version 2 casters answer: the status line and the header
// lines up to the empty line, and what they say about the body behind it.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

struct ReplyHead {
  int status = 0;               // the status code (HttpStatusCode), 0 when the line is none
  std::string_view statusLine;  // without its line end
  std::string_view headers;     // the header lines and the empty line, with their line ends
  std::size_t size = 0;         // bytes of the head, its empty line included
  // Transfer-Encoding: "chunked" alone (names and values in any case); any other coding, which
  // this program does not read, is kept in `otherCoding` as the caster wrote it.
  bool chunked = false;
  std::string otherCoding;
  std::optional<std::size_t> contentLength;  // a whole number that fits, else nothing
  std::string contentType;  // the media type in lower case without parameters: "gnss/data"
};

// The head at the start of `reply` once its empty line has come (line ends CR LF or LF); nothing
// before. The views point into `reply`.
std::optional<ReplyHead> ParseReplyHead(std::string_view reply);

}  // namespace quillon
