#include "serve/status_page.h"

#include <cstdint>
#include <string>

#include "common/decimal_text.h"
#include "common/printable_text.h"
#include "common/version.h"
#include "session/elapsed_text.h"

namespace quillon {
namespace {

// Light or dark as the phone is set; numbers in columns; long texts wrap rather than widen the
// page past a phone's 360 px.
constexpr std::string_view kStyle =
    ":root{color-scheme:light dark;--line:#8885}"
    "body{font:16px/1.45 system-ui,sans-serif;margin:0 auto;padding:12px;max-width:46em}"
    "h1{font-size:1.35em;margin:0}header p{margin:.2em 0;color:GrayText}"
    "h2{font-size:1.05em;margin:1.3em 0 .4em;padding-bottom:.2em;"
    "border-bottom:2px solid var(--line)}"
    "table{border-collapse:collapse;width:100%}"
    "th,td{text-align:left;padding:.3em .4em;border-bottom:1px solid var(--line);"
    "vertical-align:top;overflow-wrap:anywhere}"
    "th{font-weight:600;font-size:.85em;color:GrayText;white-space:nowrap}"
    "dl+table{margin-top:.8em}"
    ".n{text-align:right}.n,.k{white-space:nowrap;font-variant-numeric:tabular-nums}"
    "dl{display:grid;grid-template-columns:max-content 1fr;gap:.25em 1em;margin:0}"
    "dt{color:GrayText}dd{margin:0;overflow-wrap:anywhere}"
    ".up{color:#2e7d32}.down{color:#c62828}"
    ".fix{font-size:1.6em;font-weight:700;margin:.1em 0 .3em}"
    ".q4{color:#2e7d32}.q5{color:#ef6c00}"
    "footer{margin-top:2em;font-size:.85em;color:GrayText}";

void Element(std::string& page, std::string_view tag, std::string_view text) {
  page += "<";
  page += tag;
  page += ">";
  page += HtmlText(text);
  page += "</";
  page += tag.substr(0, tag.find(' '));
  page += ">";
}

void Term(std::string& page, std::string_view name, std::string_view value) {
  Element(page, "dt", name);
  Element(page, "dd", value);
}

void Cell(std::string& page, std::string_view text) { Element(page, "td", text); }
void Number(std::string& page, std::int64_t value) {
  Element(page, "td class=\"n\"", std::to_string(value));
}

void Head(std::string& page, std::initializer_list<std::string_view> names, std::size_t left) {
  page += "<table><tr>";
  std::size_t column = 0;
  for (std::string_view name : names) {
    Element(page, column++ < left ? "th" : "th class=\"n\"", name);
  }
  page += "</tr>";
}

void Solution(std::string& page, const ReceiverSolution& solution) {
  page += "<h2>Receiver</h2><p class=\"fix q" + std::to_string(static_cast<int>(solution.quality)) +
          "\">" + HtmlText(FixQualityName(solution.quality)) + "</p><dl>";
  if (solution.satellites) Term(page, "Satellites", std::to_string(*solution.satellites));
  if (solution.ageSeconds) {
    Term(page, "Correction age", DecimalText(*solution.ageSeconds, 1) + " s");
  }
  if (solution.hdop) Term(page, "HDOP", DecimalText(*solution.hdop, 1));
  if (solution.stationId) Term(page, "Station in use", std::to_string(*solution.stationId));
  page += "</dl>";
}

void Outputs(std::string& page, const StationStatus& status) {
  page += "<h2>Outputs</h2>";
  if (status.outputs.empty()) {
    page += "<p>None</p>";
    return;
  }
  Head(page, {"Output", "State", "B/s", "Bytes"}, 2);
  for (const OutputStatus& output : status.outputs) {
    page += "<tr>";
    Cell(page, output.name);
    Element(page, output.up ? "td class=\"up\"" : "td class=\"down\"", output.state);
    Number(page, output.bytesPerSecond);
    Number(page, output.bytesTotal);
    page += "</tr>";
  }
  page += "</table>";
}

void Stream(std::string& page, const StationView& view) {
  const RtcmSummary& summary = view.state.summary;
  page += "<h2>Stream</h2><dl>";
  if (summary.stationId) Term(page, "Station", std::to_string(*summary.stationId));
  if (summary.station) {
    const Wgs84Position& position = summary.station->wgs84;
    Term(page, "Position",
         DecimalText(position.place.latitude, 7) + ", " + DecimalText(position.place.longitude, 7) +
             ", " + DecimalText(position.height, 2) + " m");
  }
  if (const auto km = view.DistanceKm()) Term(page, "Distance", DecimalText(*km, 1) + " km");
  if (!summary.descriptors.receiverType.empty()) {
    Term(page, "Receiver", summary.descriptors.receiverType);
  }
  if (!summary.descriptors.antenna.empty()) Term(page, "Antenna", summary.descriptors.antenna);
  Term(page, "Bit rate", std::to_string(view.state.bitsPerSecond) + " bit/s");
  page += "</dl>";
  if (summary.messages.empty()) {
    page += "<p>No RTCM 3 messages yet</p>";
    return;
  }
  Head(page, {"Type", "Message", "Per second", "Count"}, 2);
  for (const MessageStats& message : summary.messages) {
    page += "<tr>";
    Element(page, "td class=\"k\"", std::to_string(message.number));
    Cell(page, MessageName(message.number));
    Element(page, "td class=\"n\"", RateText(message.perSecond));
    Number(page, static_cast<std::int64_t>(message.count));
    page += "</tr>";
  }
  page += "</table>";
}

void Clients(std::string& page, const StationStatus& status) {
  page += "<h2>Clients: " + std::to_string(status.clients.size()) + "</h2>";
  if (status.clients.empty()) return;
  Head(page, {"Client", "Program", "Time", "Bytes"}, 2);
  for (const ClientStatus& client : status.clients) {
    page += "<tr>";
    Cell(page, client.peer);
    Cell(page, client.agent);
    Element(page, "td class=\"n\"", ElapsedWithDays(client.connectedSeconds));
    Number(page, client.bytesTotal);
    page += "</tr>";
  }
  page += "</table>";
}

}  // namespace

std::string HtmlText(std::string_view text) {
  std::string out;
  for (const char c : PrintableText(text)) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string StatusPage(const StationView& view) {
  const std::string title = "Quillon " + std::string(view.ModeName());
  std::string page =
      "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
      "<meta name=\"viewport\" content=\"width=device-width, initial-scale=1\">"
      "<meta http-equiv=\"refresh\" content=\"" +
      std::to_string(kStatusPageRefreshSeconds) + "\">";
  Element(page, "title", title + " " + view.stream.mountPoint);
  page += "<style>";
  page += kStyle;
  page += "</style></head><body><header>";
  Element(page, "h1", title);
  Element(page, "p",
          "Mount point " + view.stream.mountPoint + " \u00b7 up " +
              ElapsedWithDays(view.status.uptimeSeconds));
  page += "</header>";
  if (view.status.solution) {
    Solution(page, *view.status.solution);
  } else if (view.status.mode == ConnectingMode::kRover) {
    page += "<h2>Receiver</h2><p>No solution from the receiver yet</p>";
  }
  Outputs(page, view.status);
  Stream(page, view);
  Clients(page, view.status);
  page += "<footer>Reloads every " + std::to_string(kStatusPageRefreshSeconds) +
          " s \u00b7 <a href=\"/status.json\">JSON</a> \u00b7 <a href=\"/metrics\">Metrics</a>"
          " \u00b7 Quillon " +
          std::string(kVersion) + "</footer></body></html>\n";
  return page;
}

}  // namespace quillon
