#include "app/cli/probe_report.h"

#include <string_view>

#include "common/decimal_text.h"
#include "common/json_text.h"
#include "common/printable_text.h"

namespace quillon::cli {
namespace {

constexpr int kDegreeDecimals = 7;  // about a centimetre
constexpr int kMetreDecimals = 2;

std::string KindText(NonFrameKind kind) {
  switch (kind) {
    case NonFrameKind::kNmeaSentences:
      return "NMEA sentences";
    case NonFrameKind::kNoise:
      return "neither frames nor NMEA";
    case NonFrameKind::kTooFewToTell:
      break;
  }
  return "too few to tell";
}

double Seconds(const ProbeResult& result) { return result.listenedMs / 1000.0; }

double BytesPerSecond(const ProbeResult& result) {
  return result.listenedMs == 0 ? 0.0 : static_cast<double>(result.bytes) / Seconds(result);
}

std::optional<double> DistanceKm(const ProbeResult& result) {
  if (!result.near) return std::nullopt;
  return StationDistanceKm(result.summary, *result.near);
}

// A descriptor as the table shows it: "-" when the station sent none.
std::string Shown(const std::string& text) { return text.empty() ? "-" : text; }

void Line(std::FILE* out, std::string_view label, const std::string& value) {
  std::fprintf(out, "%-17.*s%s\n", static_cast<int>(label.size()), label.data(), value.c_str());
}

}  // namespace

void PrintProbeText(std::FILE* out, const ProbeResult& result) {
  const RtcmSummary& summary = result.summary;
  std::fprintf(out, "%s, %s s: %s\n", PrintableText(result.mountPoint).c_str(),
               DecimalText(Seconds(result), 1).c_str(),
               result.SawRtcm3() ? "RTCM 3" : "no RTCM 3 frame");
  if (!result.ending.empty()) std::fprintf(out, "%s\n", result.ending.c_str());
  if (!summary.messages.empty()) {
    std::fprintf(out, "%-7s %-38s %8s %8s\n", "NUMBER", "NAME", "COUNT", "RATE/S");
    for (const MessageStats& message : summary.messages) {
      std::fprintf(
          out, "%-7u %-38s %8llu %8s\n", message.number, Shown(MessageName(message.number)).c_str(),
          static_cast<unsigned long long>(message.count), RateText(message.perSecond).c_str());
    }
  }
  Line(out, "Station:", summary.stationId ? std::to_string(*summary.stationId) : "-");
  std::string position = "-";
  if (summary.station) {
    const Wgs84Position& wgs84 = summary.station->wgs84;
    position = DecimalText(wgs84.place.latitude, kDegreeDecimals) + " " +
               DecimalText(wgs84.place.longitude, kDegreeDecimals) + " " +
               DecimalText(wgs84.height, kMetreDecimals) + " m";
    if (const auto km = DistanceKm(result)) position += ", " + DecimalText(*km, 1) + " km away";
  }
  Line(out, "Position:", position);
  const StationDescriptors& descriptors = summary.descriptors;
  Line(out,
       "Antenna:", Shown(descriptors.antenna) + ", serial " + Shown(descriptors.antennaSerial));
  Line(out, "Receiver:",
       Shown(descriptors.receiverType) + ", firmware " + Shown(descriptors.receiverFirmware) +
           ", serial " + Shown(descriptors.receiverSerial));
  Line(
      out, "Data rate:",
      DecimalText(BytesPerSecond(result), 0) + " B/s (" + std::to_string(result.bytes) + " bytes)");
  Line(out, "CRC failures:", std::to_string(summary.crcFailures));
  Line(out, "Non-frame bytes:",
       std::to_string(summary.nonFrameBytes) + " (" + KindText(summary.nonFrameKind) + ")");
  std::fflush(out);
}

void PrintProbeJson(std::FILE* out, const ProbeResult& result) {
  const RtcmSummary& summary = result.summary;
  std::string json = "{\"mountpoint\": " + JsonString(result.mountPoint) +
                     ", \"seconds\": " + DecimalText(Seconds(result), 3) +
                     ", \"rtcm3\": " + (result.SawRtcm3() ? "true" : "false") + ", \"messages\": [";
  for (std::size_t i = 0; i < summary.messages.size(); ++i) {
    const MessageStats& message = summary.messages[i];
    json += (i == 0 ? "{\"number\": " : ", {\"number\": ") + std::to_string(message.number) +
            ", \"name\": " + JsonString(MessageName(message.number)) +
            ", \"count\": " + std::to_string(message.count) +
            ", \"per_second\": " + DecimalText(message.perSecond, 3) + "}";
  }
  json += "], \"station_id\": ";
  json += summary.stationId ? std::to_string(*summary.stationId) : "null";
  json += ", \"position\": ";
  if (summary.station) {
    const StationPosition& station = *summary.station;
    json += "{\"latitude\": " + DecimalText(station.wgs84.place.latitude, 9) +
            ", \"longitude\": " + DecimalText(station.wgs84.place.longitude, 9) +
            ", \"height\": " + DecimalText(station.wgs84.height, 4) +
            ", \"antenna_height\": " + JsonNumberOrNull(station.antennaHeight, 4) +
            ", \"distance_km\": " + JsonNumberOrNull(DistanceKm(result), 3) + "}";
  } else {
    json += "null";
  }
  const StationDescriptors& descriptors = summary.descriptors;
  json += ", \"antenna\": " + JsonString(descriptors.antenna) +
          ", \"antenna_serial\": " + JsonString(descriptors.antennaSerial) +
          ", \"receiver\": " + JsonString(descriptors.receiverType) +
          ", \"receiver_firmware\": " + JsonString(descriptors.receiverFirmware) +
          ", \"receiver_serial\": " + JsonString(descriptors.receiverSerial) +
          ", \"bytes\": " + std::to_string(result.bytes) +
          ", \"bytes_per_second\": " + DecimalText(BytesPerSecond(result), 1) +
          ", \"frames\": " + std::to_string(summary.frames) +
          ", \"crc_failures\": " + std::to_string(summary.crcFailures) +
          ", \"non_frame_bytes\": " + std::to_string(summary.nonFrameBytes) +
          ", \"non_frame_kind\": " + JsonString(KindText(summary.nonFrameKind)) +
          ", \"ended\": " + (result.ending.empty() ? "null" : JsonString(result.ending)) + "}\n";
  std::fputs(json.c_str(), out);
  std::fflush(out);
}

}  // namespace quillon::cli
