// Feeds receiver output to the GGA override, cut into two reads at a point the input picks. The
// first byte picks how the position is made: from raw doubles (NaN, infinities, huge values) or
// scaled into and a little beyond the globe; the next two pick the cut. The result must not
// depend on the cut: the two reads give, with what is held back, what the whole gives at once.
// At most one sentence is held back, and with the override off every byte passes unchanged.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <string_view>

#include "ntrip/gga.h"
#include "ntrip/gga_override.h"

namespace {

constexpr std::size_t kHeaderBytes = 1 + 2 * sizeof(double) + 2;

double Scaled(const std::uint8_t* bytes, double limit) {
  std::int32_t raw = 0;
  std::memcpy(&raw, bytes, sizeof(raw));
  return raw / 2147483647.0 * limit;
}

// What `override` sends for `reads`, with what it holds back at the end.
std::string Relayed(std::initializer_list<std::string_view> reads, double latitude,
                    double longitude) {
  quillon::GgaOverride override;
  std::string sent;
  for (const std::string_view read : reads) {
    sent += override.Pass(read, true, latitude, longitude);
    if (override.Held() > quillon::kGgaMaxSentenceLength) std::abort();
  }
  return sent + std::string(override.Pass({}, false, 0.0, 0.0));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < kHeaderBytes) return 0;
  double latitude = 0.0;
  double longitude = 0.0;
  if (data[0] & 1) {
    std::memcpy(&latitude, data + 1, sizeof(double));
    std::memcpy(&longitude, data + 1 + sizeof(double), sizeof(double));
  } else {
    latitude = Scaled(data + 1, 95.0);
    longitude = Scaled(data + 1 + sizeof(double), 185.0);
  }
  const std::string_view output(reinterpret_cast<const char*>(data) + kHeaderBytes,
                                size - kHeaderBytes);
  const std::size_t cut =
      (data[kHeaderBytes - 2] | (data[kHeaderBytes - 1] << 8)) % (output.size() + 1);

  quillon::GgaOverride off;
  if (off.Pass(output, false, latitude, longitude) != output || off.Held() != 0) std::abort();

  const std::string whole = Relayed({output}, latitude, longitude);
  const std::string split =
      Relayed({output.substr(0, cut), output.substr(cut)}, latitude, longitude);
  if (whole != split) std::abort();
  return 0;
}
