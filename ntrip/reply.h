// How a caster's answer is recognised: by a token anywhere in the bytes received so far.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// The Rover's login is accepted only on this exact token, its CR LF included; an HTTP status
// line such as a version 2 caster's is not accepted.
inline constexpr std::string_view kClientSuccessToken = "ICY 200 OK\r\n";
// The Base's upload is accepted on this token (also found inside the two status lines above).
inline constexpr std::string_view kServerSuccessToken = "OK\r\n";
// A source table begins with this token in the first block and is complete on the end token.
inline constexpr std::string_view kSourceTableSuccessToken = "SOURCETABLE 200 OK";
inline constexpr std::string_view kSourceTableEndToken = "ENDSOURCETABLE";
// Marks a stream record of a source table.
inline constexpr std::string_view kSourceTableRecordMarker = "STR;";

// What a source table in place of a stream means.
inline constexpr std::string_view kSourceTableAnswerText =
    "The caster answered with its source table: the mount point does not exist there.";

// The first line of `reply` behind any empty lines, quoted, cut to 80 bytes and with control
// characters replaced; empty when there is none.
std::string QuotedFirstLine(std::string_view reply);

// True when `token` occurs, case-sensitively and anywhere, in `received` up to its first NUL:
// replies are kept as zero-terminated text, so nothing behind a NUL byte counts.
bool ReplyContains(std::string_view received, std::string_view token);

// The status code of a reply that begins with an HTTP status line ("HTTP/1.1 401 Unauthorized"
// gives 401); 0 for any other reply.
int HttpStatusCode(std::string_view reply);

// The value of the Content-Length header among `headers` (header lines, the name in any case);
// nothing when there is none or its value is no whole number that fits.
std::optional<std::size_t> ContentLength(std::string_view headers);

// What a caster's reply that was not accepted tells the user, as one sentence: that it was the
// source table (the mount point does not exist there), or the reply's first line quoted (such
// as "HTTP/1.1 401 Unauthorized"), cut to 80 bytes and with control characters replaced, or that
// no reply came.
std::string DescribeCasterReply(std::string_view reply);

// What a login reply's first line that was not accepted tells the user, as one sentence: that
// the caster speaks NTRIP version 2 only (HTTP status 200), that it refused the user name or
// password (HTTP status 401), otherwise as DescribeCasterReply.
std::string DescribeRefusedReply(std::string_view statusLine);

}  // namespace quillon
