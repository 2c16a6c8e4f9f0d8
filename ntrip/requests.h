// The requests sent to a caster, byte for byte: NTRIP version 1 and version 2. Every text is
// UTF-8, whatever the locale; the builders only compose, they never send.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace quillon {

// Asked first for the caster's source table: request line and the empty line, no header.
inline constexpr std::string_view kSourceTableRequest = "GET /SOURCETABLE HTTP/1.0\r\n\r\n";

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

// ---- NTRIP version 2: HTTP/1.1 requests ------------------------------------------------------
//
// The user's texts reach only the request line and the Host header, and never as control
// characters or blanks: the options and dialogs refuse those already, and the builders encode
// them as %XX all the same. Credentials go in Base64.

// The caster a version 2 request is for: its address as the user gave it (a name, an IPv4
// address, or an IPv6 address without brackets), its port, and whether the connection is TLS.
struct CasterHost {
  std::string_view host;
  std::int32_t port = 0;
  bool tls = false;
};

struct BasicLogin {
  std::string_view user;
  std::string_view password;
};

// The Host header's value: the host (an IPv6 address in brackets), then ":port" unless the port
// is the scheme's own (80, or 443 with TLS).
std::string HostHeaderValue(const CasterHost& caster);

// "/" and `mountPoint` as a request target: the name as typed, every byte that a path cannot
// carry as it is (blanks, control characters, '%', '?', '#', bytes of UTF-8 characters) as %XX.
std::string MountPointTarget(std::string_view mountPoint);

// The Rover's login: "GET /MOUNT HTTP/1.1" with Host, Ntrip-Version, User-Agent (the same agent
// as version 1's), the Basic authorization when `login` is given, and "Connection: close".
std::string BuildVersion2ClientRequest(const CasterHost& caster, std::string_view mountPoint,
                                       const std::optional<BasicLogin>& login);

// The Base's upload: "POST /MOUNT HTTP/1.1" with Host, Ntrip-Version, the Basic authorization,
// User-Agent, "Transfer-Encoding: chunked" (an HTTP/1.1 request body of no stated length can
// only be chunked; frame each upload with ChunkFrame) and "Connection: close".
std::string BuildVersion2ServerRequest(const CasterHost& caster, std::string_view mountPoint,
                                       const BasicLogin& login);

// The source table: "GET / HTTP/1.1" with Host, Ntrip-Version, User-Agent, the Basic
// authorization when `login` is given, and "Connection: close".
std::string BuildVersion2SourceTableRequest(const CasterHost& caster,
                                            const std::optional<BasicLogin>& login);

// Asked of a version 1 caster on a new connection when the first source-table request was not
// answered with one: "GET / HTTP/1.1" with the Host header that HTTP/1.1 requires, the agent
// "NTRIP quillon/1.0" and "Connection: close".
std::string BuildFallbackSourceTableRequest(const CasterHost& caster);

}  // namespace quillon
