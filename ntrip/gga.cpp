#include "ntrip/gga.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillon {
namespace {

using FieldSlot = std::array<char, kGgaFieldSlotSize>;

std::string_view SlotText(const FieldSlot& slot) {
  return std::string_view(slot.data(), std::find(slot.begin(), slot.end(), '\0') - slot.begin());
}

// Copies `text` into a zero-filled slot; false when it does not fit with its terminator.
bool FillSlot(FieldSlot& slot, std::string_view text) {
  if (text.size() >= slot.size()) return false;
  slot.fill('\0');
  std::copy(text.begin(), text.end(), slot.begin());
  return true;
}

bool IsGlobePosition(double latitude, double longitude) {
  return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90.0 &&
         std::fabs(longitude) <= 180.0;
}

bool IsCapital(char c) { return c >= 'A' && c <= 'Z'; }

}  // namespace

std::size_t FindGgaStart(std::string_view text, std::size_t from) {
  for (std::size_t at = text.find('$', from); at != std::string_view::npos;
       at = text.find('$', at + 1)) {
    const std::string_view rest = text.substr(at);
    if (rest.size() >= 7 && IsCapital(rest[1]) && IsCapital(rest[2]) &&
        rest.substr(3, 4) == "GGA,") {
      return at;
    }
  }
  return std::string_view::npos;
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

std::string GgaCoordinateText(double magnitude) {
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
  const int written =
      std::snprintf(text.data(), text.size(), "%d%02d.%05ld", degrees, minutes, fraction);
  return std::string(text.data(), static_cast<std::size_t>(std::max(written, 0)));
}

std::uint8_t GgaChecksum(std::string_view sentence) {
  const std::size_t start = FindGgaStart(sentence);
  if (start == std::string_view::npos) return 0;
  const std::size_t star = sentence.find('*', start);
  if (star == std::string_view::npos) return 0;
  std::uint8_t sum = 0;
  for (const char c : sentence.substr(start + 1, star - start - 1)) {
    sum ^= static_cast<std::uint8_t>(c);
  }
  return sum;
}

std::size_t RewriteGgaSentence(std::string_view sentence, double latitude, double longitude,
                               GgaSentence& out) {
  if (!IsGlobePosition(latitude, longitude)) return 0;
  if (sentence.find('\0') != std::string_view::npos) return 0;
  if (std::count(sentence.begin(), sentence.end(), ',') != kGgaFieldCount - 1) return 0;

  std::array<FieldSlot, kGgaFieldCount> fields{};
  for (FieldSlot& field : fields) {
    const std::size_t comma = std::min(sentence.find(','), sentence.size());
    if (!FillSlot(field, sentence.substr(0, comma))) return 0;
    sentence.remove_prefix(std::min(comma + 1, sentence.size()));
  }

  // Fields 3 to 6 (from 1): latitude, N/S, longitude, E/W. A letter replaces only the first
  // byte of its field, which an empty field's zero-filled slot turns into the whole field.
  FillSlot(fields[2], GgaCoordinateText(std::fabs(latitude)));
  fields[3][0] = latitude < 0.0 ? 'S' : 'N';
  FillSlot(fields[4], GgaCoordinateText(std::fabs(longitude)));
  fields[5][0] = longitude < 0.0 ? 'W' : 'E';

  // The old checksum and line end go; the sentence ends right behind the "*".
  FieldSlot& last = fields[kGgaFieldCount - 1];
  const std::size_t star = SlotText(last).find('*');
  if (star == std::string_view::npos) return 0;
  last[star + 1] = '\0';

  std::string rebuilt;
  for (std::size_t i = 0; i + 1 < kGgaFieldCount; ++i) {
    rebuilt.append(SlotText(fields[i])).append(",");
  }
  rebuilt.append(SlotText(last));
  std::array<char, 8> checksum{};
  std::snprintf(checksum.data(), checksum.size(), "%02x\r\n", GgaChecksum(rebuilt));
  rebuilt.append(checksum.data());
  if (rebuilt.size() > kGgaMaxSentenceLength) return 0;

  const auto end = std::copy(rebuilt.begin(), rebuilt.end(), out.begin());
  *end = '\0';
  return rebuilt.size();
}

}  // namespace quillon
