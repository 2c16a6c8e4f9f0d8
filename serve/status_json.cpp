#include "serve/status_json.h"

#include <cstdint>
#include <optional>
#include <string>

#include "common/decimal_text.h"
#include "common/json_text.h"

namespace quillon {
namespace {

std::string Member(std::string_view name, const std::string& value) {
  return JsonString(name) + ":" + value;
}

std::string Whole(std::optional<unsigned> value) { return value ? std::to_string(*value) : "null"; }

// `items` made into JSON by `each`, in an array.
template <typename Items, typename Each>
std::string Array(const Items& items, Each each) {
  std::string array = "[";
  for (const auto& item : items) {
    if (array.size() > 1) array += ",";
    array += each(item);
  }
  return array + "]";
}

std::string Solution(const std::optional<ReceiverSolution>& solution) {
  if (!solution) return "null";
  return "{" + Member("fix_quality", std::to_string(static_cast<int>(solution->quality))) + "," +
         Member("fix", JsonString(FixQualityName(solution->quality))) + "," +
         Member("satellites", Whole(solution->satellites)) + "," +
         Member("age_seconds", JsonNumberOrNull(solution->ageSeconds, 1)) + "," +
         Member("hdop", JsonNumberOrNull(solution->hdop, 1)) + "," +
         Member("station_id", Whole(solution->stationId)) + "}";
}

std::string Stream(const StationView& view) {
  const RtcmSummary& summary = view.state.summary;
  std::string position = "null";
  if (summary.station) {
    const Wgs84Position& at = summary.station->wgs84;
    position = "{" + Member("latitude", DecimalText(at.place.latitude, 9)) + "," +
               Member("longitude", DecimalText(at.place.longitude, 9)) + "," +
               Member("height", DecimalText(at.height, 4)) + "}";
  }
  const std::string messages = Array(summary.messages, [](const MessageStats& message) {
    return "{" + Member("type", std::to_string(message.number)) + "," +
           Member("name", JsonString(MessageName(message.number))) + "," +
           Member("per_second", DecimalText(message.perSecond, 3)) + "," +
           Member("count", std::to_string(message.count)) + "}";
  });
  return "{" + Member("station_id", Whole(summary.stationId)) + "," + Member("position", position) +
         "," + Member("distance_km", JsonNumberOrNull(view.DistanceKm(), 1)) + "," +
         Member("bits_per_second", std::to_string(view.state.bitsPerSecond)) + "," +
         Member("receiver", JsonString(summary.descriptors.receiverType)) + "," +
         Member("antenna", JsonString(summary.descriptors.antenna)) + "," +
         Member("messages", messages) + "}";
}

}  // namespace

std::string StatusJson(const StationView& view) {
  const StationStatus& status = view.status;
  const std::string outputs = Array(status.outputs, [](const OutputStatus& output) {
    return "{" + Member("name", JsonString(output.name)) + "," +
           Member("state", JsonString(output.state)) + "," +
           Member("up", output.up ? "true" : "false") + "," +
           Member("bytes_per_second", std::to_string(output.bytesPerSecond)) + "," +
           Member("bytes_total", std::to_string(output.bytesTotal)) + "}";
  });
  const std::string clients = Array(status.clients, [](const ClientStatus& client) {
    return "{" + Member("peer", JsonString(client.peer)) + "," +
           Member("agent", JsonString(client.agent)) + "," +
           Member("connected_seconds", std::to_string(client.connectedSeconds)) + "," +
           Member("bytes_total", std::to_string(client.bytesTotal)) + "}";
  });
  return "{" + Member("mode", JsonString(view.ModeName())) + "," +
         Member("mount_point", JsonString(view.stream.mountPoint)) + "," +
         Member("uptime_seconds", std::to_string(status.uptimeSeconds)) + "," +
         Member("outputs", outputs) + "," + Member("solution", Solution(status.solution)) + "," +
         Member("stream", Stream(view)) + "," + Member("clients", clients) + "}\n";
}

}  // namespace quillon
