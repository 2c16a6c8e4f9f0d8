// Watches a correction stream as the relay moves it and tells what it holds: which RTCM 3
// messages and how often, the reference station's ID, position and equipment, and what the
// bytes outside frames look like. It is given a copy of each block; it never changes, delays
// or holds back the relayed bytes. Not thread-safe: its owner serialises Scan and Summary.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string_view>

#include "rtcm/framer.h"
#include "rtcm/message_counts.h"
#include "rtcm/message_fields.h"
#include "rtcm/non_frame_bytes.h"
#include "rtcm/rtcm_summary.h"

namespace quillon {

class RtcmScanner final : private RtcmFrameSink {
 public:
  explicit RtcmScanner(std::uint32_t rateWindowMs = kMessageRateWindowMs);

  // Looks at the next block of the stream, relayed at tick `now` (the session clock's
  // TickCount). Any bytes are safe; memory stays bounded (one frame held, one tally per
  // message number).
  void Scan(std::string_view bytes, std::uint32_t now);

  // What the stream has held so far, with message rates at tick `now`.
  RtcmSummary Summary(std::uint32_t now) const;

  // Bytes held while their frame is incomplete: at most kRtcmMaxFrame.
  std::size_t Held() const { return framer_.Held(); }

 private:
  void OnFrame(std::string_view payload) override;
  void OnNonFrameBytes(std::string_view bytes) override;

  RtcmFramer framer_;
  MessageCounts counts_;
  NonFrameBytes nonFrame_;
  std::optional<unsigned> stationId_;
  std::optional<AntennaReferencePoint> referencePoint_;
  StationDescriptors descriptors_;
};

}  // namespace quillon
