// A ListenerContent with one record and three pages, for the caster's tests; it keeps what the
// server tells it.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "serve/listener_content.h"

namespace quillon::testing {

class ListenerContentDouble final : public ListenerContent {
 public:
  std::string SourceTableRecords() override { return "STR;M;M;RTCM 3.x;\r\n"; }
  std::optional<ListenerAnswer> Page(std::string_view path) override {
    if (path == "/") return ListenerAnswer{200, "text/html; charset=utf-8", "<html>page</html>"};
    if (path == "/status.json") return ListenerAnswer{200, "application/json", "{}"};
    if (path == "/metrics") return ListenerAnswer{200, "text/plain; version=0.0.4", "# TYPE"};
    return std::nullopt;
  }
  void Scan(std::string_view bytes) override { scanned += bytes; }
  void SetClients(std::vector<ClientStatus> now) override { clients = std::move(now); }

  std::string scanned;
  std::vector<ClientStatus> clients;
};

}  // namespace quillon::testing
