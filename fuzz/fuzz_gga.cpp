// Feeds receiver blocks to the GGA rewriting. The first byte picks how the position is made:
// from raw doubles (NaN, infinities, huge values) or scaled into and a little beyond the globe.
// A rewritten block must be one well-formed sentence; any other block must stay as it was.
#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "ntrip/gga.h"

namespace {

constexpr std::size_t kPositionBytes = 1 + 2 * sizeof(double);

double Scaled(const std::uint8_t* bytes, double limit) {
  std::int32_t raw = 0;
  std::memcpy(&raw, bytes, sizeof(raw));
  return raw / 2147483647.0 * limit;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kPositionBytes) return 0;
  double latitude = 0.0;
  double longitude = 0.0;
  if (data[0] & 1) {
    std::memcpy(&latitude, data + 1, sizeof(double));
    std::memcpy(&longitude, data + 1 + sizeof(double), sizeof(double));
  } else {
    latitude = Scaled(data + 1, 95.0);
    longitude = Scaled(data + 1 + sizeof(double), 185.0);
  }

  std::array<char, quillon::kUpstreamBufferSize> buffer{};
  const std::size_t length = std::min(size - kPositionBytes, quillon::kUpstreamBufferSize - 1);
  std::memcpy(buffer.data(), data + kPositionBytes, length);
  const auto before = buffer;

  const int result = quillon::OverrideGgaPosition(buffer, length, latitude, longitude);
  if (result == 0) {
    if (buffer != before) std::abort();
    return 0;
  }
  const std::string_view text(buffer.data());
  if (result != 1 || !text.starts_with("$GPGGA") || !text.ends_with("\r\n") ||
      text.size() > quillon::kGgaMaxSentenceLength || text.size() < 4) {
    std::abort();
  }
  const std::string digits(text.substr(text.size() - 4, 2));
  const unsigned long stated = std::strtoul(digits.c_str(), nullptr, 16);
  if (stated != quillon::GgaChecksum(text)) std::abort();
  return 0;
}
