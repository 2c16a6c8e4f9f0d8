#include "ntrip/requests.h"

#include <cstdint>
#include <cstdio>

#include "ntrip/base64.h"

namespace quillon {
namespace {

constexpr std::string_view kLineEnd = "\r\n";
constexpr std::string_view kClientAgent = "NTRIP NtripTovaskGSMClient/1.00";
constexpr std::string_view kServerAgent = "NTRIP NtripServerZEP/0.9";
constexpr std::int32_t kHttpPort = 80;
constexpr std::int32_t kHttpsPort = 443;

// RFC 3986's unreserved characters and sub-delimiters, ':' and '@': what a path segment and a
// host name carry as they are. `alsoKept` adds the structure the caller keeps ('/' of a path).
std::string PercentEncoded(std::string_view text, std::string_view alsoKept) {
  constexpr std::string_view kKept = "-._~!$&'()*+,;=:@";
  std::string out;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    const bool alphanumeric = (byte >= '0' && byte <= '9') || (byte >= 'A' && byte <= 'Z') ||
                              (byte >= 'a' && byte <= 'z');
    if (alphanumeric || kKept.find(c) != std::string_view::npos ||
        alsoKept.find(c) != std::string_view::npos) {
      out.push_back(c);
      continue;
    }
    char escaped[4];
    std::snprintf(escaped, sizeof escaped, "%%%02X", byte);
    out.append(escaped);
  }
  return out;
}

std::string Header(std::string_view name, std::string_view value) {
  std::string line(name);
  line.append(": ").append(value).append(kLineEnd);
  return line;
}

// The request line and the headers every version 2 request begins with.
std::string Version2Start(std::string_view method, std::string_view target,
                          const CasterHost& caster) {
  std::string request(method);
  request.append(" ").append(target).append(" HTTP/1.1").append(kLineEnd);
  request.append(Header("Host", HostHeaderValue(caster)));
  request.append(Header("Ntrip-Version", "Ntrip/2.0"));
  return request;
}

std::string AuthorizationHeader(const BasicLogin& login) {
  return Header("Authorization", "Basic " + MakeBasicCredentials(login.user, login.password));
}

// A GET of the client's: `target` with the agent, the login when given, and the close.
std::string Version2Get(const CasterHost& caster, std::string_view target,
                        const std::optional<BasicLogin>& login) {
  std::string request = Version2Start("GET", target, caster);
  request.append(Header("User-Agent", kClientAgent));
  if (login) request.append(AuthorizationHeader(*login));
  request.append(Header("Connection", "close")).append(kLineEnd);
  return request;
}

}  // namespace

std::string MakeBasicCredentials(std::string_view user, std::string_view password) {
  std::string pair;
  pair.reserve(user.size() + 1 + password.size());
  pair.append(user).append(":").append(password);
  // A header value must stay on one line, whatever the length of the pair.
  return Base64Encode(reinterpret_cast<const std::uint8_t*>(pair.data()), pair.size(),
                      Base64Lines::kSingleLine);
}

std::string WithBasicAuthorization(std::string_view request, std::string_view user,
                                   std::string_view password) {
  std::string text(request.substr(0, request.size() - kLineEnd.size()));
  text.append(AuthorizationHeader({user, password})).append(kLineEnd);
  return text;
}

std::string BuildClientRequest(std::string_view user, std::string_view password,
                               std::string_view mountPoint) {
  std::string request = "GET /";
  request.append(mountPoint).append(" HTTP/1.0\r\n");
  request.append(Header("User-Agent", kClientAgent)).append(kLineEnd);
  return WithBasicAuthorization(request, user, password);
}

std::string BuildServerRequest(std::string_view mountPoint, std::string_view password) {
  std::string request = "SOURCE ";
  request.append(password).append(" /").append(mountPoint).append("\r\n");
  request.append(Header("Source-Agent", kServerAgent)).append(kLineEnd);
  return request;
}

std::string HostHeaderValue(const CasterHost& caster) {
  const bool ipv6 = caster.host.find(':') != std::string_view::npos;
  std::string value = PercentEncoded(caster.host, "");
  if (ipv6) value = "[" + value + "]";
  if (caster.port != (caster.tls ? kHttpsPort : kHttpPort)) {
    value.append(":").append(std::to_string(caster.port));
  }
  return value;
}

std::string MountPointTarget(std::string_view mountPoint) {
  return "/" + PercentEncoded(mountPoint, "/");
}

std::string BuildVersion2ClientRequest(const CasterHost& caster, std::string_view mountPoint,
                                       const std::optional<BasicLogin>& login) {
  return Version2Get(caster, MountPointTarget(mountPoint), login);
}

std::string BuildVersion2ServerRequest(const CasterHost& caster, std::string_view mountPoint,
                                       const BasicLogin& login) {
  std::string request = Version2Start("POST", MountPointTarget(mountPoint), caster);
  request.append(AuthorizationHeader(login));
  request.append(Header("User-Agent", kServerAgent));
  request.append(Header("Transfer-Encoding", "chunked"));
  request.append(Header("Connection", "close")).append(kLineEnd);
  return request;
}

std::string BuildVersion2SourceTableRequest(const CasterHost& caster,
                                            const std::optional<BasicLogin>& login) {
  return Version2Get(caster, "/", login);
}

std::string BuildFallbackSourceTableRequest(const CasterHost& caster) {
  std::string request = "GET / HTTP/1.1\r\n";
  request.append(Header("Host", HostHeaderValue(caster)));
  request.append(Header("User-Agent", "NTRIP quillon/1.0"));
  request.append(Header("Connection", "close")).append(kLineEnd);
  return request;
}

}  // namespace quillon
