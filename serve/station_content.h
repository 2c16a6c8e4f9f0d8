// What the program's own caster answers besides the stream, made from the session: the source
// table from the served stream as the RTCM 3 scanner sees it, and the status page, its JSON and
// its metrics from the status the command line hands over.
//
// Thread-safe: the server scans and asks for answers on its thread, the command line updates
// the status on its own.
#pragma once

#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "rtcm/rtcm_scanner.h"
#include "serve/listener_content.h"
#include "serve/served_stream_record.h"
#include "serve/station_status.h"
#include "serve/stream_bit_rate.h"

namespace quillon {

class StationContent final : public ListenerContent {
 public:
  // Rates are told at the ticks of `clock`, which must outlive the content.
  StationContent(ServedStream stream, Clock& clock);

  // The served stream's next bytes, as the server sends them to its clients: copied into
  // nothing, scanned at once (any bytes are safe; memory stays bounded).
  void Scan(std::string_view bytes) override;

  // The session's status now; the command line hands it over about once a second.
  void Update(StationStatus status);
  // The server's clients, which the command line's status does not know.
  void SetClients(std::vector<ClientStatus> clients) override;

  // The STR record of the served mount point.
  std::string SourceTableRecords() override;
  // "/" the page, "/status.json" and "/metrics" (a query after "?" is passed over).
  std::optional<ListenerAnswer> Page(std::string_view path) override;

 private:
  const ServedStream stream_;
  Clock& clock_;
  std::mutex mutex_;
  // Guarded by `mutex_`.
  RtcmScanner scanner_;
  StreamBitRate bitRate_;
  StationStatus status_;
  std::vector<ClientStatus> clients_;

  StreamState State(std::uint32_t now) const;
};

}  // namespace quillon
