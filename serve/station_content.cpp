#include "serve/station_content.h"

#include <utility>

#include "serve/status_json.h"
#include "serve/status_metrics.h"
#include "serve/status_page.h"

namespace quillon {

StationContent::StationContent(ServedStream stream, Clock& clock)
    : stream_(std::move(stream)), clock_(clock) {}

void StationContent::Scan(std::string_view bytes) {
  const std::uint32_t now = clock_.TickCount();
  std::lock_guard guard(mutex_);
  scanner_.Scan(bytes, now);
  bitRate_.Count(bytes.size(), now);
}

void StationContent::Update(StationStatus status) {
  std::lock_guard guard(mutex_);
  status_ = std::move(status);
  status_.clients = clients_;
}

void StationContent::SetClients(std::vector<ClientStatus> clients) {
  std::lock_guard guard(mutex_);
  clients_ = std::move(clients);
  status_.clients = clients_;
}

StreamState StationContent::State(std::uint32_t now) const {
  return StreamState{scanner_.Summary(now), bitRate_.BitsPerSecond(now)};
}

std::string StationContent::SourceTableRecords() {
  const std::uint32_t now = clock_.TickCount();
  std::lock_guard guard(mutex_);
  return ServedStreamRecord(stream_, State(now)) + "\r\n";
}

std::optional<ListenerAnswer> StationContent::Page(std::string_view path) {
  path = path.substr(0, path.find('?'));
  std::string (*make)(const StationView&) = nullptr;
  std::string_view type;
  if (path == "/") {
    make = StatusPage;
    type = "text/html; charset=utf-8";
  } else if (path == "/status.json") {
    make = StatusJson;
    type = "application/json";
  } else if (path == "/metrics") {
    make = StatusMetrics;
    type = kMetricsContentType;
  } else {
    return std::nullopt;
  }
  const std::uint32_t now = clock_.TickCount();
  std::lock_guard guard(mutex_);
  const StreamState state = State(now);
  return ListenerAnswer{200, std::string(type), make(StationView{stream_, status_, state})};
}

}  // namespace quillon
