// What the program's own caster answers besides the stream: its source table and, for a browser,
// the status page, its JSON and its metrics. The server asks for them as requests come; the
// answers are made from the session's state at that moment.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "serve/station_status.h"

namespace quillon {

// An answer the server frames in the version the request came in.
struct ListenerAnswer {
  int status = 200;
  std::string contentType;  // "text/html; charset=utf-8", "application/json", ...
  std::string body;
};

class ListenerContent {
 public:
  virtual ~ListenerContent() = default;
  // The table's records, each line ending "\r\n", without "ENDSOURCETABLE".
  virtual std::string SourceTableRecords() = 0;
  // The answer to a browser's GET of `path` ("/", "/status.json", "/metrics"); nothing for a
  // path it does not serve.
  virtual std::optional<ListenerAnswer> Page(std::string_view path) = 0;
  // The served stream's next bytes, as the server sends them.
  virtual void Scan(std::string_view bytes) = 0;
  // The clients that take the stream now, about once a second.
  virtual void SetClients(std::vector<ClientStatus> clients) = 0;
};

}  // namespace quillon
