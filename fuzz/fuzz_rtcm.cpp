// Feeds any bytes to the RTCM 3 scanner, followed by a frame around them (so that the message
// decoders see any payload behind a CRC that checks), whole and cut into two blocks at a point
// the input's first two bytes pick. The summary must not depend on the cut; no more than a frame is
// held; every byte is in a frame, outside one, or held; the station's texts are printable and
// bounded, its position on the globe, and every rate a finite number. The stream lines do not
// depend on the cut either, and the warnings take any summary.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "rtcm/rtcm_scanner.h"
#include "rtcm/stream_warnings.h"

namespace {

void RequirePrintable(std::string_view text) {
  if (text.size() > quillon::kMaxDescriptorLength) std::abort();
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) std::abort();
  }
}

void RequireSound(const quillon::RtcmSummary& summary, std::size_t size, std::size_t held) {
  if (held > quillon::kRtcmMaxFrame) std::abort();
  if (summary.frameBytes + summary.nonFrameBytes + held != size) std::abort();
  for (const auto& message : summary.messages) {
    if (!std::isfinite(message.perSecond) || message.perSecond < 0.0) std::abort();
  }
  const quillon::StationDescriptors& texts = summary.descriptors;
  for (const auto* text : {&texts.antenna, &texts.antennaSerial, &texts.receiverType,
                           &texts.receiverFirmware, &texts.receiverSerial}) {
    RequirePrintable(*text);
  }
  if (summary.station) {
    const auto& wgs84 = summary.station->wgs84;
    if (!(std::fabs(wgs84.place.latitude) <= 90.0) ||
        !(std::fabs(wgs84.place.longitude) <= 180.0) || !std::isfinite(wgs84.height)) {
      std::abort();
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  const std::string_view input(reinterpret_cast<const char*>(data) + 2, size - 2);
  const std::string bytes = std::string(input) + quillon::RtcmFrame(input);
  const std::string_view stream = bytes;
  const std::size_t cut = (data[0] | (data[1] << 8)) % (stream.size() + 1);

  quillon::RtcmScanner whole;
  whole.Scan(stream, 0);
  quillon::RtcmScanner split;
  split.Scan(stream.substr(0, cut), 0);
  split.Scan(stream.substr(cut), 1500);

  const quillon::RtcmSummary a = whole.Summary(1500);
  const quillon::RtcmSummary b = split.Summary(1500);
  RequireSound(a, stream.size(), whole.Held());
  RequireSound(b, stream.size(), split.Held());
  if (quillon::SummaryLine(a) != quillon::SummaryLine(b) || a.descriptors != b.descriptors ||
      a.crcFailures != b.crcFailures || a.nonFrameBytes != b.nonFrameBytes ||
      a.nonFrameKind != b.nonFrameKind || whole.Held() != split.Held() ||
      quillon::BaseStreamLine(a) != quillon::BaseStreamLine(b) ||
      quillon::RoverStreamLine(a, quillon::GeoPosition{}) !=
          quillon::RoverStreamLine(b, quillon::GeoPosition{})) {
    std::abort();
  }
  for (const auto side : {quillon::StreamSide::kBase, quillon::StreamSide::kRover}) {
    quillon::StreamWarnings warnings(side);
    warnings.Due(a, 0);
    warnings.Due(a, quillon::kStationWindowMs + quillon::kFirstFrameWindowMs);
  }
  return 0;
}
