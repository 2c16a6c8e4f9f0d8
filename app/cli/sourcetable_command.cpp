#include "app/cli/sourcetable_command.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <string_view>

#include "app/cli/session_options.h"
#include "common/printable_text.h"
#include "common/strings.h"
#include "common/text.h"
#include "ntrip/ntrip_source_table.h"

namespace quillon::cli {
namespace {

constexpr char kUsage[] =
    "Usage: quillon sourcetable HOST[:PORT] [--long] [--near LAT,LON] [--limit N] "
    "[--format text|json]\n";

struct Field {
  const char* title;  // the table's column
  const char* name;   // the JSON member
  std::string StreamRecord::*member;
  bool inTable;
};

constexpr std::array<Field, 17> kFields = {{
    {"MOUNTPOINT", "mountpoint", &StreamRecord::mountPoint, true},
    {"IDENTIFIER", "identifier", &StreamRecord::identifier, true},
    {"FORMAT", "format", &StreamRecord::format, true},
    {"FORMAT-DETAILS", "format_details", &StreamRecord::formatDetails, false},
    {"CARRIER", "carrier", &StreamRecord::carrier, true},
    {"NAV-SYSTEM", "nav_system", &StreamRecord::navSystem, true},
    {"NETWORK", "network", &StreamRecord::network, true},
    {"COUNTRY", "country", &StreamRecord::country, true},
    {"LATITUDE", "latitude", &StreamRecord::latitude, true},
    {"LONGITUDE", "longitude", &StreamRecord::longitude, true},
    {"NMEA", "nmea", &StreamRecord::nmea, true},
    {"SOLUTION", "solution", &StreamRecord::solution, false},
    {"GENERATOR", "generator", &StreamRecord::generator, false},
    {"COMPRESSION", "compression", &StreamRecord::compression, false},
    {"AUTH", "authentication", &StreamRecord::authentication, true},
    {"FEE", "fee", &StreamRecord::fee, true},
    {"BITRATE", "bitrate", &StreamRecord::bitrate, true},
}};

struct Options {
  std::string target;
  bool longListing = false;
  bool json = false;
  std::optional<GeoPosition> near;
  std::optional<std::size_t> limit;
};

bool ParseOptions(const Arguments& args, Options& options, std::string& problem) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    const bool takesValue = word == "--near" || word == "--limit" || word == "--format";
    if (takesValue && i + 1 == args.size()) {
      problem = word + ": a value is missing";
      return false;
    }
    if (word == "--long") {
      options.longListing = true;
    } else if (word == "--near") {
      GeoPosition position;
      if (!ParseLatLon(args[++i], position.latitude, position.longitude)) {
        problem =
            "--near: expected LAT,LON in degrees, such as 52.52,13.40 (south and west "
            "negative)";
        return false;
      }
      options.near = position;
    } else if (word == "--limit") {
      const std::string& value = args[++i];
      std::size_t limit = 0;
      if (!ParseWhole(value, limit) || limit == 0) {
        problem = "--limit: a number of streams, 1 or more";
        return false;
      }
      options.limit = limit;
    } else if (word == "--format") {
      const std::string& value = args[++i];
      if (value != "text" && value != "json") {
        problem = "--format: text or json";
        return false;
      }
      options.json = value == "json";
    } else if (options.target.empty() && !word.starts_with("-")) {
      options.target = word;
    } else {
      problem = "unexpected argument '" + PrintableText(word) + "'";
      return false;
    }
  }
  if (options.target.empty()) problem = "the caster is missing";
  return !options.target.empty();
}

// The streams in the order to show them, with their distances when asked for.
std::vector<ListedStream> ListStreams(const std::vector<StreamRecord>& records,
                                      const Options& options) {
  std::vector<ListedStream> streams;
  for (const StreamRecord& record : records) {
    ListedStream stream{&record, std::nullopt};
    if (options.near) {
      if (const auto position = StreamPosition(record)) {
        stream.km = GreatCircleKm(*options.near, *position);
      }
    }
    streams.push_back(stream);
  }
  if (options.near) {
    std::stable_sort(streams.begin(), streams.end(),
                     [](const ListedStream& a, const ListedStream& b) {
                       if (!a.km || !b.km) return a.km.has_value() && !b.km.has_value();
                       return *a.km < *b.km;
                     });
  }
  if (options.limit && streams.size() > *options.limit) streams.resize(*options.limit);
  return streams;
}

// "12.3", whatever the locale.
std::string Kilometres(double km) {
  std::array<char, 32> text{};
  const auto result =
      std::to_chars(text.data(), text.data() + text.size(), km, std::chars_format::fixed, 1);
  return std::string(text.data(), result.ptr);
}

// Characters of a UTF-8 text: every byte but the continuation bytes.
std::size_t Characters(std::string_view text) {
  std::size_t count = 0;
  for (const unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

std::string AlignedRows(const std::vector<std::vector<std::string>>& rows) {
  std::vector<std::size_t> widths;
  for (const auto& row : rows) {
    widths.resize(std::max(widths.size(), row.size()));
    for (std::size_t c = 0; c < row.size(); ++c) {
      widths[c] = std::max(widths[c], Characters(row[c]));
    }
  }
  std::string out;
  for (const auto& row : rows) {
    std::string line;
    for (std::size_t c = 0; c < row.size(); ++c) {
      line += row[c];
      if (c + 1 < row.size()) line.append(widths[c] - Characters(row[c]) + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    out += line + '\n';
  }
  return out;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  for (const char c : PrintableText(text)) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

void ShowError(MessageSink& messages, std::u16string text) {
  messages.Show(Message{std::move(text), LoadString(kStrError)});
}

}  // namespace

std::string FormatStreamTable(const std::vector<ListedStream>& streams, bool distance) {
  std::vector<std::vector<std::string>> rows(1);
  for (const Field& field : kFields) {
    if (field.inTable) rows[0].push_back(field.title);
  }
  if (distance) rows[0].insert(rows[0].begin() + 1, "DISTANCE");
  for (const ListedStream& stream : streams) {
    std::vector<std::string> row;
    for (const Field& field : kFields) {
      if (field.inTable) row.push_back(PrintableText(stream.record->*field.member));
    }
    if (distance) row.insert(row.begin() + 1, stream.km ? Kilometres(*stream.km) + " km" : "-");
    rows.push_back(std::move(row));
  }
  return AlignedRows(rows);
}

std::string FormatStreamJson(const std::vector<ListedStream>& streams, bool distance) {
  std::string out = "[";
  for (std::size_t i = 0; i < streams.size(); ++i) {
    out += i == 0 ? "\n  {" : ",\n  {";
    for (std::size_t f = 0; f < kFields.size(); ++f) {
      if (f > 0) out += ", ";
      out += JsonString(kFields[f].name) + ": " + JsonString(streams[i].record->*kFields[f].member);
    }
    if (distance) {
      out += ", \"distance_km\": ";
      out += streams[i].km ? Kilometres(*streams[i].km) : "null";
    }
    out += "}";
  }
  return out + (streams.empty() ? "]\n" : "\n]\n");
}

int RunSourceTable(const Arguments& args, std::FILE* out, MessageSink& messages, Clock& clock) {
  Options options;
  std::string problem;
  if (!ParseOptions(args, options, problem)) {
    std::fprintf(stderr, "quillon sourcetable: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }

  std::string_view host;
  std::int32_t port = kDefaultCasterPort;
  if (!SplitCasterArgument(options.target, host, port) || port == 0) {
    ShowError(messages, LoadString(kStrPortInvalid));
    return 1;
  }
  if (host.empty()) {
    ShowError(messages, LoadString(kStrAddressEmpty));
    return 1;
  }

  CNtripSourceTable table;
  std::string reply;
  if (!table.GetSourceTable(messages, std::u16string(EightBitToWide(host)), port, clock, &reply)) {
    return 1;
  }

  const std::vector<StreamRecord> records = ParseStreamRecords(reply);
  const std::vector<ListedStream> streams = ListStreams(records, options);
  const bool distance = options.near.has_value();
  if (options.json) {
    std::fputs(FormatStreamJson(streams, distance).c_str(), out);
  } else if (options.longListing) {
    std::fputs(FormatStreamTable(streams, distance).c_str(), out);
  } else {
    std::vector<std::vector<std::string>> rows;
    for (const ListedStream& stream : streams) {
      rows.push_back({PrintableText(stream.record->mountPoint)});
      if (distance) rows.back().push_back(stream.km ? Kilometres(*stream.km) + " km" : "-");
    }
    std::fputs(AlignedRows(rows).c_str(), out);
  }
  std::fflush(out);
  return 0;
}

}  // namespace quillon::cli
