#include "ntrip/requests.h"

#include <cstdint>

#include "ntrip/base64.h"

namespace quillon {

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
  constexpr std::string_view kLineEnd = "\r\n";
  std::string text(request.substr(0, request.size() - kLineEnd.size()));
  text.append("Authorization: Basic ").append(MakeBasicCredentials(user, password));
  text.append(kLineEnd).append(kLineEnd);
  return text;
}

std::string BuildClientRequest(std::string_view user, std::string_view password,
                               std::string_view mountPoint) {
  std::string request = "GET /";
  request.append(mountPoint).append(" HTTP/1.0\r\n");
  request.append("User-Agent: ").append("NTRIP NtripTovaskGSMClient").append("/").append("1.00");
  request.append("\r\n\r\n");
  return WithBasicAuthorization(request, user, password);
}

std::string BuildServerRequest(std::string_view mountPoint, std::string_view password) {
  std::string request = "SOURCE ";
  request.append(password).append(" /").append(mountPoint).append("\r\n");
  request.append("Source-Agent: NTRIP NtripServerZEP/0.9\r\n\r\n");
  return request;
}

}  // namespace quillon
