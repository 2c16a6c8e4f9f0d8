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

std::string BuildClientRequest(std::string_view user, std::string_view password,
                               std::string_view mountPoint) {
  std::string request = "GET /";
  request.append(mountPoint).append(" HTTP/1.0\r\n");
  request.append("User-Agent: ").append("NTRIP NtripTovaskGSMClient").append("/").append("1.00");
  request.append("\r\n");
  request.append("Authorization: Basic ").append(MakeBasicCredentials(user, password));
  request.append("\r\n\r\n");
  return request;
}

std::string BuildServerRequest(std::string_view mountPoint, std::string_view password) {
  std::string request = "SOURCE ";
  request.append(password).append(" /").append(mountPoint).append("\r\n");
  request.append("Source-Agent: NTRIP NtripServerZEP/0.9\r\n\r\n");
  return request;
}

}  // namespace quillon
