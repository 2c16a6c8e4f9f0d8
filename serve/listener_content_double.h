// A ListenerContent with one record and three pages, for the caster's tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>

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
};

}  // namespace quillon::testing
