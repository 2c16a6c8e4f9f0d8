#include "app/cli/sourcetable_command.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>
#include <vector>

#include "app/cli/json_text.h"
#include "app/cli/session_options.h"
#include "common/decimal_text.h"
#include "common/printable_text.h"
#include "common/strings.h"
#include "common/text.h"
#include "net/tls_options.h"
#include "ntrip/ntrip_source_table.h"
#include "ntrip/source_table_records.h"

namespace quillon::cli {
namespace {

constexpr char kUsage[] =
    "Usage: quillon sourcetable HOST[:PORT] [--user NAME [--password-file FILE]] [--long]\n"
    "                           [--near LAT,LON] [--limit N] [--format text|json]\n"
    "                           [--ntrip 1|2] [--tls [--ca-file FILE | --insecure]]\n";

struct Field {
  const char* title;  // the table's column
  const char* name;   // the JSON member
  std::string_view StreamRecord::*member;
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
  std::optional<std::string> user;
  std::string passwordFile;
  ProtocolOptions protocol;
};

bool ParseOptions(const Arguments& args, Options& options, std::string& problem) {
  for (std::size_t i = 1; i < args.size(); ++i) {
    const std::string& word = args[i];
    const bool takesValue = word == "--near" || word == "--limit" || word == "--format" ||
                            word == "--user" || word == "--password-file" ||
                            ProtocolFlagTakesValue(word);
    if (takesValue && i + 1 == args.size()) {
      problem = word + ": a value is missing";
      return false;
    }
    if (word == "--long") {
      options.longListing = true;
    } else if (word == "--near") {
      GeoPosition position;
      if (!ParseNear(args[++i], position, problem)) return false;
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
    } else if (word == "--user") {
      options.user = args[++i];
    } else if (word == "--password-file") {
      options.passwordFile = args[++i];
    } else if (IsProtocolFlag(word)) {
      const std::string value = ProtocolFlagTakesValue(word) ? args[++i] : std::string();
      if (!TakeProtocolOption(word, value, options.protocol, problem)) return false;
    } else if (options.target.empty() && !word.starts_with("-")) {
      options.target = word;
    } else {
      problem = "unexpected argument '" + PrintableText(word) + "'";
      return false;
    }
  }
  if (options.target.empty()) problem = "the caster is missing";
  if (!options.passwordFile.empty() && !options.user) problem = "--password-file needs --user";
  if (problem.empty()) CheckProtocolOptions(options.protocol, problem);
  return problem.empty();
}

// The login of --user, with its password; nothing without --user.
bool ReadTableLogin(const Options& options, const std::optional<std::string>& environmentPassword,
                    Clock& clock, std::optional<TableLogin>& login, std::string& problem) {
  if (!options.user) return true;
  TableLogin given{*options.user, {}};
  if (!ReadLogin(given.user, options.passwordFile, environmentPassword, {clock}, given.password,
                 problem)) {
    return false;
  }
  login = std::move(given);
  return true;
}

// One stream as the listing shows it: its record's line of the table and, with --near, its
// distance in km (nothing when the record gives no usable position).
struct ListedStream {
  std::string_view line;
  std::optional<double> km;
};

// The streams in the order to show them, with their distances when asked for.
std::vector<ListedStream> ListStreams(const std::vector<std::string_view>& lines,
                                      const Options& options) {
  std::vector<ListedStream> streams;
  streams.reserve(lines.size());
  for (const std::string_view line : lines) {
    ListedStream stream{line, std::nullopt};
    if (options.near) {
      if (const auto position = StreamPosition(SplitStreamRecord(line))) {
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

// Characters of a UTF-8 text: every byte but the continuation bytes.
std::size_t Characters(std::string_view text) {
  std::size_t count = 0;
  for (const unsigned char c : text) count += (c & 0xC0) != 0x80;
  return count;
}

// The cells of one row of an aligned listing.
using Row = std::vector<std::string>;

// Prints `count` rows, row `i` made by `row(i)`, with the columns aligned by characters, two
// blanks apart and no blank at a line's end. Each row is made twice, once to measure it, so that
// no copy of a large table's listing is held.
void PrintAligned(std::FILE* out, std::size_t count, const std::function<Row(std::size_t)>& row) {
  std::vector<std::size_t> widths;
  for (std::size_t i = 0; i < count; ++i) {
    const Row cells = row(i);
    widths.resize(std::max(widths.size(), cells.size()));
    for (std::size_t c = 0; c < cells.size(); ++c) {
      widths[c] = std::max(widths[c], Characters(cells[c]));
    }
  }
  std::string line;
  for (std::size_t i = 0; i < count; ++i) {
    const Row cells = row(i);
    line.clear();
    for (std::size_t c = 0; c < cells.size(); ++c) {
      line += cells[c];
      if (c + 1 < cells.size()) line.append(widths[c] - Characters(cells[c]) + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    std::fputs(line.c_str(), out);
  }
}

std::string Distance(const ListedStream& stream) {
  return stream.km ? DecimalText(*stream.km, 1) + " km" : "-";
}

void ShowError(MessageSink& messages, std::u16string text) {
  messages.Show(Message{std::move(text), LoadString(kStrError)});
}

// The streams as a table with a header line; with `distance` a DISTANCE column after the mount
// point.
void PrintStreamTable(std::FILE* out, const std::vector<ListedStream>& streams, bool distance) {
  PrintAligned(out, streams.size() + 1, [&](std::size_t i) {
    Row row;
    const StreamRecord record = i == 0 ? StreamRecord{} : SplitStreamRecord(streams[i - 1].line);
    for (const Field& field : kFields) {
      if (field.inTable) row.push_back(i == 0 ? field.title : PrintableText(record.*field.member));
    }
    if (distance) row.insert(row.begin() + 1, i == 0 ? "DISTANCE" : Distance(streams[i - 1]));
    return row;
  });
}

// The streams as a JSON array, one object a line; with `distance` each has "distance_km".
void PrintStreamJson(std::FILE* out, const std::vector<ListedStream>& streams, bool distance) {
  std::fputs("[", out);
  std::string object;
  for (std::size_t i = 0; i < streams.size(); ++i) {
    const StreamRecord record = SplitStreamRecord(streams[i].line);
    object = i == 0 ? "\n  {" : ",\n  {";
    for (std::size_t f = 0; f < kFields.size(); ++f) {
      if (f > 0) object += ", ";
      object += JsonString(kFields[f].name) + ": " + JsonString(record.*kFields[f].member);
    }
    if (distance) {
      object += ", \"distance_km\": ";
      object += streams[i].km ? DecimalText(*streams[i].km, 1) : "null";
    }
    object += "}";
    std::fputs(object.c_str(), out);
  }
  std::fputs(streams.empty() ? "]\n" : "\n]\n", out);
}

// The mount points, one a line; with `distance` each with its distance.
void PrintMountPoints(std::FILE* out, const std::vector<ListedStream>& streams, bool distance) {
  PrintAligned(out, streams.size(), [&](std::size_t i) {
    Row row = {PrintableText(SplitStreamRecord(streams[i].line).mountPoint)};
    if (distance) row.push_back(Distance(streams[i]));
    return row;
  });
}

}  // namespace

int RunSourceTable(const Arguments& args, std::FILE* out, MessageSink& messages, Clock& clock,
                   const std::optional<std::string>& environmentPassword) {
  Options options;
  TableQuery query;
  std::string problem;
  if (!ParseOptions(args, options, problem) ||
      !ReadTableLogin(options, environmentPassword, clock, query.login, problem)) {
    std::fprintf(stderr, "quillon sourcetable: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }

  query.protocol = AppliedProtocol({}, options.protocol);
  query.insecure = options.protocol.insecure;
  const std::string_view warning = TlsWarning(TlsFor(query.protocol, query.insecure));
  if (!warning.empty())
    std::fprintf(stderr, "quillon sourcetable: %.*s\n", static_cast<int>(warning.size()),
                 warning.data());
  std::string_view host;
  std::int32_t port = query.protocol.tls ? kTlsPort : kDefaultCasterPort;
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
  const TableFetch fetch = table.GetSourceTable(messages, std::u16string(EightBitToWide(host)),
                                                port, clock, query, &reply);
  if (!fetch.listed) return 1;

  const std::vector<std::string_view> lines = StreamRecordLines(reply);
  const std::vector<ListedStream> streams = ListStreams(lines, options);
  const bool distance = options.near.has_value();
  if (options.json) {
    PrintStreamJson(out, streams, distance);
  } else if (options.longListing) {
    PrintStreamTable(out, streams, distance);
  } else {
    PrintMountPoints(out, streams, distance);
  }
  std::fflush(out);
  if (fetch.read == TableRead::kComplete) return 0;
  const std::string arrived =
      std::to_string(lines.size()) + (lines.size() == 1 ? " stream arrived." : " streams arrived.");
  ShowError(messages, EightBitToWide(fetch.ending + " " + arrived));
  return 1;
}

}  // namespace quillon::cli
