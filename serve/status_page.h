// The status page a browser gets at "/" of the program's own caster: one self-contained HTML
// page (inline style, no script, no file or font from elsewhere) that reloads itself and reads
// well on a phone.
#pragma once

#include <string>
#include <string_view>

#include "serve/station_view.h"

namespace quillon {

// `text` for HTML content and quoted attributes: printable (PrintableText), with '&', '<', '>',
// '"' and '\'' as character references.
std::string HtmlText(std::string_view text);

// The page: mode, mount point and uptime; for the Rover the receiver's solution; each output
// with its state and byte rate; the stream's messages and rates, station, position, distance and
// bit rate; the clients.
std::string StatusPage(const StationView& view);

}  // namespace quillon
