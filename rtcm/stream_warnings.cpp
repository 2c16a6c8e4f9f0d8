#include "rtcm/stream_warnings.h"

#include <utility>

namespace quillon {
namespace {

std::string Seconds(std::uint32_t ms) { return std::to_string(ms / 1000) + " s"; }

std::string NoFramesText(StreamSide side, const RtcmSummary& summary) {
  const std::string first = "no RTCM 3 frame in the first " + Seconds(kFirstFrameWindowMs);
  const std::string bytes = std::to_string(summary.nonFrameBytes) + " bytes";
  if (side == StreamSide::kRover) {
    return "The caster's stream held " + first + " (" + bytes +
           "): it may be RTCM 2, CMR or a receiver maker's own format, which only a receiver "
           "that reads it can use; it is relayed as it is.";
  }
  switch (summary.nonFrameKind) {
    case NonFrameKind::kNmeaSentences:
      return "The receiver sent NMEA sentences but " + first +
             ": turn on its RTCM 3 output on this port.";
    case NonFrameKind::kNoise:
      return "The receiver sent " + first +
             ", only bytes that are neither frames nor NMEA sentences: check the baud rate, and "
             "that the receiver puts out RTCM 3 on this port.";
    case NonFrameKind::kTooFewToTell:
      break;
  }
  return "The receiver sent " + first + " (" + bytes +
         "): check that it puts out RTCM 3 on this port.";
}

std::string CrcFailuresText(const RtcmSummary& summary) {
  const std::uint64_t tried = summary.frames + summary.crcFailures;
  return std::to_string(summary.crcFailures) + " of " + std::to_string(tried) +
         " RTCM 3 frames from the receiver failed their CRC check (" +
         std::to_string(summary.crcFailures * 100 / tried) +
         " %): check the baud rate and the cable.";
}

std::string NoStationPositionText() {
  return "No station position (message 1005 or 1006) in " + Seconds(kStationWindowMs) +
         " of the stream: rovers cannot use a stream without the station position; turn on 1005 or "
         "1006 in the receiver's RTCM 3 output.";
}

std::string NoObservationsText() {
  return "No observations (MSM, or messages 1001-1004 and 1009-1012) in " +
         Seconds(kStationWindowMs) +
         " of the stream: rovers get no fix from it; turn on MSM4 or MSM7 in the receiver's RTCM 3 "
         "output.";
}

}  // namespace

bool StreamWarnings::Decided(StreamWarningKind kind) const {
  return (decided_ & (1u << static_cast<unsigned>(kind))) != 0;
}

void StreamWarnings::Decide(StreamWarningKind kind) {
  decided_ |= 1u << static_cast<unsigned>(kind);
}

std::vector<StreamWarning> StreamWarnings::Due(const RtcmSummary& summary,
                                               std::uint32_t elapsedMs) {
  std::vector<StreamWarning> due;
  const auto check = [&](StreamWarningKind kind, bool wrong, auto text) {
    if (!Decided(kind)) {
      if (wrong) due.push_back({kind, text()});
      Decide(kind);
    }
  };
  if (summary.frames > 0 && !framesSeen_) {
    framesSeen_ = true;
    firstFrameMs_ = elapsedMs;
  }
  const bool bytesCame = side_ == StreamSide::kBase || summary.nonFrameBytes > 0;
  if (framesSeen_ || (elapsedMs >= kFirstFrameWindowMs && bytesCame)) {
    check(StreamWarningKind::kNoFrames, !framesSeen_, [&] { return NoFramesText(side_, summary); });
  }
  if (side_ == StreamSide::kRover) return due;

  const std::uint64_t tried = summary.frames + summary.crcFailures;
  if (summary.frames >= kMinFramesForCrcCheck &&
      summary.crcFailures * 100 > kMaxCrcFailurePercent * tried) {
    check(StreamWarningKind::kCrcFailures, true, [&] { return CrcFailuresText(summary); });
  }
  if (framesSeen_ && elapsedMs - firstFrameMs_ >= kStationWindowMs) {
    check(StreamWarningKind::kNoStationPosition, !summary.HasStationPosition(),
          NoStationPositionText);
    check(StreamWarningKind::kNoObservations, !summary.HasObservations(), NoObservationsText);
  }
  return due;
}

}  // namespace quillon
