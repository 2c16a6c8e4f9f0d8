#include "rtcm/rtcm_scanner.h"

namespace quillon {

RtcmScanner::RtcmScanner(std::uint32_t rateWindowMs) : counts_(rateWindowMs) {}

void RtcmScanner::Scan(std::string_view bytes, std::uint32_t now) {
  counts_.Advance(now);
  framer_.Push(bytes, *this);
}

void RtcmScanner::OnNonFrameBytes(std::string_view bytes) { nonFrame_.Add(bytes); }

void RtcmScanner::OnFrame(std::string_view payload) {
  const std::optional<unsigned> number = MessageNumber(payload);
  if (!number) return;  // a frame too short for a message number
  counts_.Count(*number);
  if (const std::optional<unsigned> id = ObservingStationId(payload)) stationId_ = id;
  if (IsStationPosition(*number)) {
    if (auto point = DecodeAntennaReferencePoint(payload)) referencePoint_ = point;
    return;
  }
  MergeDescriptors(payload, descriptors_);
}

RtcmSummary RtcmScanner::Summary(std::uint32_t now) const {
  RtcmSummary summary;
  summary.messages = counts_.Stats(now);
  summary.stationId = stationId_;
  if (referencePoint_) {
    summary.station =
        StationPosition{referencePoint_->stationId, referencePoint_->ecef,
                        Wgs84FromEcef(referencePoint_->ecef), referencePoint_->antennaHeight};
  }
  summary.descriptors = descriptors_;
  summary.frames = framer_.Frames();
  summary.frameBytes = framer_.FrameBytes();
  summary.crcFailures = framer_.CrcFailures();
  summary.nonFrameBytes = framer_.NonFrameBytes();
  summary.nonFrameKind = nonFrame_.Kind();
  return summary;
}

}  // namespace quillon
