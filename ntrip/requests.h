// The NTRIP version 1 requests sent to a caster, byte for byte. Every text is 8-bit text in
// the locale's character set; the builders only compose, they never send.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Asked first for the caster's source table: request line and the empty line, no header.
inline constexpr std::string_view kSourceTableRequest = "GET /SOURCETABLE HTTP/1.0\r\n\r\n";

// Asked on a new connection when the first source-table request was not answered with one.
inline constexpr std::string_view kFallbackSourceTableRequest =
    "GET / HTTP/1.1\r\nUser-Agent: NTRIP quillon/1.0\r\nConnection: close\r\n\r\n";

// `request` (a request text ending in its empty line) with a Basic authorization header for
// `user` and `password` as its last header line.
std::string WithBasicAuthorization(std::string_view request, std::string_view user,
                                   std::string_view password);

// Base64 of `user` ":" `password`, used exactly as given (no trimming, no escaping), on one line
// and never cut, so that long multi-byte names cannot put a line break into the header.
std::string MakeBasicCredentials(std::string_view user, std::string_view password);

// The Rover's login to `mountPoint` (taken as given, a leading "/" included) with the agent
// header and the Basic authorization header, which is sent also for empty credentials.
std::string BuildClientRequest(std::string_view user, std::string_view password,
                               std::string_view mountPoint);

// The Base's upload request; the password travels in clear text in the request line.
std::string BuildServerRequest(std::string_view mountPoint, std::string_view password);

}  // namespace quillon
