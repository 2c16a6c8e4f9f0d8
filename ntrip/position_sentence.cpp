#include "ntrip/position_sentence.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

namespace quillon {
namespace {

struct PositionKind {
  std::string_view type;
  std::size_t latitudeField;  // the address is field 0; N/S, longitude and E/W follow
  std::size_t minFields;      // with the address
  std::size_t maxFields;
};

// RMC without and with the mode (NMEA 2.3) and the navigational status (4.1); GLL of NMEA 1.5
// (position only), 2.0 (time, status) and 2.3 (mode); GNS without and with the navigational status.
constexpr std::array<PositionKind, 4> kKinds = {{
    {"GGA", 2, 15, 15},
    {"RMC", 3, 12, 14},
    {"GLL", 1, 5, 8},
    {"GNS", 2, 13, 14},
}};
// Satellites and DOP (GSA, GSV), course and speed (VTG), time (ZDA), error estimates (GST,
// GBS): NMEA 0183 kinds whose fields say nothing of where the receiver is.
constexpr std::array<std::string_view, 6> kNoPositionTypes = {"GSA", "GSV", "VTG",
                                                              "ZDA", "GST", "GBS"};
constexpr std::size_t kMostFields = 15;
constexpr std::size_t kTypeAt = 3;           // "$" and two talker characters come first
constexpr std::size_t kChecksumTail = 3;     // "*hh"
constexpr std::size_t kGgaQualityField = 6;  // the fix quality: 0 is no fix
constexpr std::size_t kGgaSatellitesField = 7;
constexpr std::size_t kGgaHdopField = 8;
constexpr std::size_t kGgaAgeField = 13;
constexpr std::size_t kGgaStationField = 14;

bool IsPrintable(char c) { return c >= 0x20 && c <= 0x7E; }
bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
char ToCapital(char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; }

int HexValue(char c) {
  if (IsDigit(c)) return c - '0';
  const char capital = ToCapital(c);
  return capital >= 'A' && capital <= 'F' ? capital - 'A' + 10 : -1;
}

bool IsGlobePosition(double latitude, double longitude) {
  return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90.0 &&
         std::fabs(longitude) <= 180.0;
}

// The line end that closes `sentence`: "\r\n", "\n", "\r" or nothing.
std::string_view LineEnd(std::string_view sentence) {
  if (sentence.ends_with("\r\n")) return sentence.substr(sentence.size() - 2);
  if (sentence.ends_with('\n') || sentence.ends_with('\r'))
    return sentence.substr(sentence.size() - 1);
  return {};
}

const PositionKind* KindOfAddress(std::string_view address) {
  if (address.size() != kTypeAt - 1 + 3 || !IsCapital(address[0]) || !IsCapital(address[1])) {
    return nullptr;
  }
  for (const PositionKind& kind : kKinds) {
    if (address.substr(kTypeAt - 1) == kind.type) return &kind;
  }
  return nullptr;
}

// Appends to a sentence buffer and notices when it would run over.
class SentenceWriter {
 public:
  explicit SentenceWriter(NmeaSentence& out) : out_(out) {}

  void Append(std::string_view text) {
    if (size_ + text.size() > kNmeaMaxSentenceLength) {
      full_ = true;
      return;
    }
    std::copy(text.begin(), text.end(), out_.begin() + static_cast<std::ptrdiff_t>(size_));
    size_ += text.size();
  }

  std::string_view Text() const { return std::string_view(out_.data(), size_); }

  // The length written, with a terminator behind it; 0 when something did not fit.
  std::size_t Finish() {
    if (full_) return 0;
    out_[size_] = '\0';
    return size_;
  }

 private:
  NmeaSentence& out_;
  std::size_t size_ = 0;
  bool full_ = false;
};

// A sentence of a position kind taken apart; `kind` null when it is not a well-formed one.
struct ParsedSentence {
  const PositionKind* kind = nullptr;
  std::array<std::string_view, kMostFields> fields;  // the address first
  std::size_t count = 0;
  std::string_view lineEnd;
};

// What stands between the "$" and the "*" of a sentence whose checksum matches (printable
// ASCII, no second "$", at most kNmeaMaxSentenceLength bytes with its line end); nothing for
// anything else.
std::optional<std::string_view> CheckedContent(std::string_view sentence) {
  if (sentence.size() > kNmeaMaxSentenceLength) return std::nullopt;
  const std::string_view text = sentence.substr(0, sentence.size() - LineEnd(sentence).size());
  if (text.size() < 1 + kChecksumTail || text[0] != '$') return std::nullopt;
  const std::size_t star = text.size() - kChecksumTail;
  if (text.find('*') != star) return std::nullopt;
  if (!std::all_of(text.begin() + 1, text.end(),
                   [](char c) { return IsPrintable(c) && c != '$'; })) {
    return std::nullopt;
  }
  const int high = HexValue(text[star + 1]);
  const int low = HexValue(text[star + 2]);
  if (high < 0 || low < 0 || high * 16 + low != NmeaChecksum(text)) return std::nullopt;
  return text.substr(1, star - 1);
}

ParsedSentence ParseSentence(std::string_view sentence) {
  ParsedSentence parsed;
  const std::optional<std::string_view> content = CheckedContent(sentence);
  if (!content) return parsed;
  parsed.lineEnd = LineEnd(sentence);
  std::string_view rest = *content;
  for (;;) {
    if (parsed.count == parsed.fields.size()) return parsed;
    const std::size_t comma = std::min(rest.find(','), rest.size());
    parsed.fields[parsed.count++] = rest.substr(0, comma);
    if (comma == rest.size()) break;
    rest.remove_prefix(comma + 1);
  }
  const PositionKind* kind = KindOfAddress(parsed.fields[0]);
  if (kind == nullptr || parsed.count < kind->minFields || parsed.count > kind->maxFields) {
    return parsed;
  }
  if (std::any_of(parsed.fields.begin(),
                  parsed.fields.begin() + static_cast<std::ptrdiff_t>(parsed.count),
                  [](std::string_view field) { return field.size() > kNmeaMaxFieldLength; })) {
    return parsed;
  }
  parsed.kind = kind;
  return parsed;
}

// The degrees of an NMEA coordinate "dddmm.mmmm" with its hemisphere letter (`negative` is S
// or W); nothing unless the digits are whole, the minutes below 60 and the result within
// `limit`.
std::optional<double> CoordinateDegrees(std::string_view text, std::string_view hemisphere,
                                        char positive, char negative, double limit) {
  const std::size_t point = std::min(text.find('.'), text.size());
  if (point < 3 || hemisphere.size() != 1 ||
      (hemisphere[0] != positive && hemisphere[0] != negative) ||
      !std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c) || c == '.'; }) ||
      text.find('.', point + 1) != std::string_view::npos) {
    return std::nullopt;
  }
  double degrees = 0.0;
  for (const char c : text.substr(0, point - 2)) degrees = degrees * 10.0 + (c - '0');
  double minutes = 0.0;
  for (const char c : text.substr(point - 2, 2)) minutes = minutes * 10.0 + (c - '0');
  double scale = 0.1;
  for (const char c : text.substr(std::min(point + 1, text.size()))) {
    minutes += (c - '0') * scale;
    scale /= 10.0;
  }
  const double value = degrees + minutes / 60.0;
  if (minutes >= 60.0 || value > limit) return std::nullopt;
  return hemisphere[0] == negative ? -value : value;
}

// `text` as a number of at most `digits` digits, with one "." among them when `fraction`, and
// at most `limit`; nothing for anything else, the empty field among it.
std::optional<double> FieldNumber(std::string_view text, std::size_t digits, bool fraction,
                                  double limit) {
  const std::size_t points = static_cast<std::size_t>(std::count(text.begin(), text.end(), '.'));
  if (text.empty() || text.size() - points > digits || points > (fraction ? 1u : 0u) ||
      !std::all_of(text.begin(), text.end(), [](char c) { return IsDigit(c) || c == '.'; })) {
    return std::nullopt;
  }
  double value = 0.0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc() || end != text.data() + text.size() || value > limit) {
    return std::nullopt;
  }
  return value;
}

std::optional<unsigned> FieldCount(std::string_view text, std::size_t digits, unsigned limit) {
  const std::optional<double> value = FieldNumber(text, digits, false, limit);
  if (!value) return std::nullopt;
  return static_cast<unsigned>(*value);
}

}  // namespace

std::uint8_t NmeaChecksum(std::string_view sentence) {
  const std::size_t dollar = sentence.find('$');
  if (dollar == std::string_view::npos) return 0;
  const std::size_t star = sentence.find('*', dollar);
  if (star == std::string_view::npos) return 0;
  std::uint8_t sum = 0;
  for (const char c : sentence.substr(dollar + 1, star - dollar - 1)) {
    sum ^= static_cast<std::uint8_t>(c);
  }
  return sum;
}

DegreeParts SplitDegrees(double angle) {
  DegreeParts parts;
  if (!(angle >= 0.0 && angle <= 180.0)) return parts;  // also refuses NaN
  parts.degrees = static_cast<int>(angle);
  const double minutes = (angle - parts.degrees) * 60.0;
  parts.minutes = static_cast<int>(minutes);
  parts.exactSeconds = (minutes - parts.minutes) * 60.0;
  parts.seconds = static_cast<int>(parts.exactSeconds);
  return parts;
}

std::string NmeaCoordinateText(double magnitude, int degreeDigits) {
  const DegreeParts parts = SplitDegrees(magnitude);
  int degrees = parts.degrees;
  int minutes = parts.minutes;
  // Rounding absorbs the binary error of the steps above (59.99999... seconds become a carry).
  long fraction = std::lround(parts.exactSeconds / 60.0 * 100000.0);
  if (fraction >= 100000) {
    fraction -= 100000;
    ++minutes;
  }
  if (minutes >= 60) {
    minutes -= 60;
    ++degrees;
  }
  std::array<char, 32> text{};
  const int written = std::snprintf(text.data(), text.size(), "%0*d%02d.%05ld", degreeDigits,
                                    degrees, minutes, fraction);
  return std::string(text.data(), static_cast<std::size_t>(std::max(written, 0)));
}

bool HoldsNoPosition(std::string_view sentence) {
  const std::optional<std::string_view> content = CheckedContent(sentence);
  if (!content) return false;
  const std::string_view address = content->substr(0, content->find(','));
  return address.size() == kTypeAt - 1 + 3 && address[0] != 'P' &&
         std::all_of(address.begin(), address.end(), IsCapital) &&
         std::find(kNoPositionTypes.begin(), kNoPositionTypes.end(), address.substr(kTypeAt - 1)) !=
             kNoPositionTypes.end();
}

std::string_view WellFormedPositionKind(std::string_view sentence) {
  const ParsedSentence parsed = ParseSentence(sentence);
  return parsed.kind != nullptr ? parsed.kind->type : std::string_view();
}

std::size_t RewritePositionSentence(std::string_view sentence, double latitude, double longitude,
                                    NmeaSentence& out) {
  if (!IsGlobePosition(latitude, longitude)) return 0;
  ParsedSentence parsed = ParseSentence(sentence);
  if (parsed.kind == nullptr) return 0;
  auto& fields = parsed.fields;

  const std::string latitudeText = NmeaCoordinateText(std::fabs(latitude), 2);
  const std::string longitudeText = NmeaCoordinateText(std::fabs(longitude), 3);
  const std::size_t at = parsed.kind->latitudeField;
  fields[at] = latitudeText;
  fields[at + 1] = latitude < 0.0 ? "S" : "N";
  fields[at + 2] = longitudeText;
  fields[at + 3] = longitude < 0.0 ? "W" : "E";

  SentenceWriter writer(out);
  writer.Append("$");
  for (std::size_t i = 0; i < parsed.count; ++i) {
    if (i > 0) writer.Append(",");
    writer.Append(fields[i]);
  }
  writer.Append("*");
  std::array<char, 3> checksum{};
  std::snprintf(checksum.data(), checksum.size(), "%02X", NmeaChecksum(writer.Text()));
  writer.Append(std::string_view(checksum.data(), 2));
  writer.Append(parsed.lineEnd);
  return writer.Finish();
}

std::optional<GeoPosition> GgaPosition(std::string_view sentence) {
  const ParsedSentence parsed = ParseSentence(sentence);
  if (parsed.kind == nullptr || parsed.kind->type != "GGA" ||
      parsed.fields[kGgaQualityField].empty() || parsed.fields[kGgaQualityField] == "0") {
    return std::nullopt;
  }
  const auto& fields = parsed.fields;
  const std::size_t at = parsed.kind->latitudeField;
  const auto latitude = CoordinateDegrees(fields[at], fields[at + 1], 'N', 'S', 90.0);
  const auto longitude = CoordinateDegrees(fields[at + 2], fields[at + 3], 'E', 'W', 180.0);
  if (!latitude || !longitude) return std::nullopt;
  return GeoPosition{*latitude, *longitude};
}

std::optional<ReceiverSolution> GgaSolution(std::string_view sentence) {
  const ParsedSentence parsed = ParseSentence(sentence);
  if (parsed.kind == nullptr || parsed.kind->type != "GGA") return std::nullopt;
  const auto& fields = parsed.fields;
  const std::optional<unsigned> quality = FieldCount(fields[kGgaQualityField], 1, 8);
  if (!quality) return std::nullopt;
  return ReceiverSolution{
      .quality = static_cast<FixQuality>(*quality),
      .satellites = FieldCount(fields[kGgaSatellitesField], 3, 999),
      .hdop = FieldNumber(fields[kGgaHdopField], 6, true, 9999.0),
      .ageSeconds = FieldNumber(fields[kGgaAgeField], 7, true, 99999.0),
      .stationId = FieldCount(fields[kGgaStationField], 4, 4095),
  };
}

}  // namespace quillon
