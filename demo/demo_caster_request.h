// How the demo caster reads a request: the caster's side of the NTRIP version 1 and version 2
// texts. Kept apart from the socket code so it can be tested on its own.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace quillon::caster_internal {

enum class RequestLine { kGet, kSource, kPost, kUnknown };

struct ParsedRequest {
  RequestLine line = RequestLine::kUnknown;
  std::string mountPoint;  // path without its leading "/" (GET, POST), or the SOURCE mount point
  std::string password;    // SOURCE only
  std::optional<std::string> credentials;  // decoded "user:password" of a Basic header
  bool version2 = false;                   // "Ntrip-Version: Ntrip/2.0" (GET, POST)
  bool chunked = false;      // "Transfer-Encoding: chunked": a POST's upload is chunked
  bool hostMissing = false;  // HTTP/1.1 without the Host header that it requires
};

// `request` is the text up to and including the empty line. A SOURCE line reads
// "SOURCE <password> /<mount point>"; the password ends at the last " /", so it may hold blanks.
// GET and POST take their headers, the names and the values of Ntrip-Version and
// Transfer-Encoding in any case.
ParsedRequest ParseRequest(std::string_view request);

// Standard Base64 (with "=" padding) to bytes; nullopt for any other character, a wrong length
// or misplaced padding.
std::optional<std::string> DecodeBase64(std::string_view text);

}  // namespace quillon::caster_internal
