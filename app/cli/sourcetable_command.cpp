#include "app/cli/sourcetable_command.h"

#include <algorithm>
#include <array>
#include <functional>
#include <string_view>
#include <vector>

#include "app/cli/session_options.h"
#include "app/cli/stop_signals.h"
#include "common/decimal_text.h"
#include "common/json_text.h"
#include "common/printable_text.h"
#include "common/strings.h"
#include "common/text.h"
#include "common/utf8.h"
#include "common/wide.h"
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
      if (HasControlCharacter(FromUtf8(word))) {
        problem = "HOST takes no control characters (such as a line break)";
        return false;
      }
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
PasswordFileRead ReadTableLogin(const Options& options,
                                const std::optional<std::string>& environmentPassword,
                                const PasswordFileWait& wait, std::optional<TableLogin>& login,
                                std::string& problem) {
  if (!options.user) return PasswordFileRead::kRead;
  TableLogin given{*options.user, {}};
  const PasswordFileRead read = ReadLogin(given.user, options.passwordFile, environmentPassword,
                                          wait, given.password, problem);
  if (read == PasswordFileRead::kRead) login = std::move(given);
  return read;
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

// The widest a column of an aligned listing gets: one long field would pad every row of the
// table to its width. A longer cell is cut, and ends in "...".
constexpr std::size_t kMaxColumnCharacters = 40;
// A listing is cut off where it would outgrow its table this many times and a little more: the
// columns of rows of empty fields could make it so, whatever the table's size limit.
constexpr std::size_t kListingGrowth = 16;
constexpr std::size_t kListingAllowance = 64 * 1024;

std::size_t ListingLimit(std::string_view reply) {
  return kListingGrowth * reply.size() + kListingAllowance;
}

// `cell` cut to kMaxColumnCharacters characters, the last three of them "...".
std::string CutToColumn(std::string cell) {
  if (Characters(cell) <= kMaxColumnCharacters) return cell;
  std::size_t kept = 0;
  std::size_t at = 0;
  for (; at < cell.size(); ++at) {
    if ((cell[at] & 0xC0) != 0x80 && kept++ == kMaxColumnCharacters - 3) break;
  }
  cell.resize(at);
  return cell + "...";
}

// The cells of one row of an aligned listing.
using Row = std::vector<std::string>;

// Prints `count` rows, row `i` made by `row(i)`, with the columns aligned by characters, two
// blanks apart and no blank at a line's end; the cells of every column but the last cut to
// kMaxColumnCharacters. Stops before a line that would take the listing past `limit` bytes.
// Returns the rows printed. Each row is made twice, once to measure it, so that no copy of a
// large table's listing is held.
std::size_t PrintAligned(std::FILE* out, std::size_t count,
                         const std::function<Row(std::size_t)>& row, std::size_t limit) {
  const auto cutRow = [&](std::size_t i) {
    Row cells = row(i);
    for (std::size_t c = 0; c + 1 < cells.size(); ++c) cells[c] = CutToColumn(std::move(cells[c]));
    return cells;
  };
  std::vector<std::size_t> widths;
  for (std::size_t i = 0; i < count; ++i) {
    const Row cells = cutRow(i);
    widths.resize(std::max(widths.size(), cells.size()));
    for (std::size_t c = 0; c < cells.size(); ++c) {
      widths[c] = std::max(widths[c], Characters(cells[c]));
    }
  }
  std::string line;
  std::size_t printed = 0;
  for (std::size_t i = 0; i < count; ++i) {
    const Row cells = cutRow(i);
    line.clear();
    for (std::size_t c = 0; c < cells.size(); ++c) {
      line += cells[c];
      if (c + 1 < cells.size()) line.append(widths[c] - Characters(cells[c]) + 2, ' ');
    }
    line.erase(line.find_last_not_of(' ') + 1);
    line += '\n';
    printed += line.size();
    if (printed > limit) return i;
    std::fputs(line.c_str(), out);
  }
  return count;
}

std::string Distance(const ListedStream& stream) {
  return stream.km ? DecimalText(*stream.km, 1) + " km" : "-";
}

void ShowError(MessageSink& messages, std::u16string text, std::u16string detail = {}) {
  messages.Show(Message{std::move(text), LoadString(kStrError), MessageIcon::kExclamation,
                        MessageButtons::kOk, std::move(detail)});
}

// The streams as a table with a header line; with `distance` a DISTANCE column after the mount
// point. Returns the streams printed (PrintAligned's limit).
std::size_t PrintStreamTable(std::FILE* out, const std::vector<ListedStream>& streams,
                             bool distance, std::size_t limit) {
  const std::size_t rows = PrintAligned(
      out, streams.size() + 1,
      [&](std::size_t i) {
        Row row;
        const StreamRecord record =
            i == 0 ? StreamRecord{} : SplitStreamRecord(streams[i - 1].line);
        for (const Field& field : kFields) {
          if (field.inTable)
            row.push_back(i == 0 ? field.title : PrintableText(record.*field.member));
        }
        if (distance) row.insert(row.begin() + 1, i == 0 ? "DISTANCE" : Distance(streams[i - 1]));
        return row;
      },
      limit);
  return rows == 0 ? 0 : rows - 1;
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

// The mount points, one a line; with `distance` each with its distance. Returns the streams
// printed (PrintAligned's limit).
std::size_t PrintMountPoints(std::FILE* out, const std::vector<ListedStream>& streams,
                             bool distance, std::size_t limit) {
  return PrintAligned(
      out, streams.size(),
      [&](std::size_t i) {
        Row row = {PrintableText(SplitStreamRecord(streams[i].line).mountPoint)};
        if (distance) row.push_back(Distance(streams[i]));
        return row;
      },
      limit);
}

// The streams as the options ask for them; returns how many were printed.
std::size_t PrintStreams(std::FILE* out, const std::vector<ListedStream>& streams,
                         const Options& options, std::size_t limit) {
  const bool distance = options.near.has_value();
  if (options.longListing && !options.json) return PrintStreamTable(out, streams, distance, limit);
  if (!options.json) return PrintMountPoints(out, streams, distance, limit);
  PrintStreamJson(out, streams, distance);
  return streams.size();
}

}  // namespace

int RunSourceTable(const Arguments& args, std::FILE* out, MessageSink& messages, Clock& clock,
                   const std::optional<std::string>& environmentPassword, int stopFd) {
  Options options;
  TableQuery query;
  std::string problem;
  PasswordFileRead read = PasswordFileRead::kRefused;
  if (ParseOptions(args, options, problem)) {
    read = ReadTableLogin(options, environmentPassword, {clock, stopFd}, query.login, problem);
  }
  if (read == PasswordFileRead::kStopAsked) return kExitStoppedBeforeStart;
  if (read != PasswordFileRead::kRead) {
    std::fprintf(stderr, "quillon sourcetable: %s\n%s", problem.c_str(), kUsage);
    return 2;
  }

  query.protocol = AppliedProtocol({}, options.protocol);
  query.insecure = options.protocol.insecure;
  query.stop = StopAsked(clock, stopFd);
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
  TableFetch fetch =
      table.GetSourceTable(std::u16string(EightBitToWide(host)), port, clock, query, &reply);
  if (fetch.problem == TableProblem::kStopped) return kExitStoppedBeforeStart;
  if (!fetch.Listed()) {
    ShowError(messages, std::move(fetch.text), std::move(fetch.detail));
    return 1;
  }

  const std::vector<std::string_view> lines = StreamRecordLines(reply);
  const std::vector<ListedStream> streams = ListStreams(lines, options);
  const std::size_t printed = PrintStreams(out, streams, options, ListingLimit(reply));
  std::fflush(out);
  if (printed < streams.size()) {
    ShowError(messages,
              EightBitToWide("The listing was cut after " + std::to_string(printed) + " of " +
                             std::to_string(streams.size()) +
                             " streams: its columns would have made it more than " +
                             std::to_string(kListingGrowth) + " times the size of the table."));
    return 1;
  }
  if (fetch.read == TableRead::kComplete) return 0;
  const std::string arrived =
      std::to_string(lines.size()) + (lines.size() == 1 ? " stream arrived." : " streams arrived.");
  ShowError(messages, EightBitToWide(fetch.ending + " " + arrived));
  return 1;
}

}  // namespace quillon::cli
