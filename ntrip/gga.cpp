#include "ntrip/gga.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace quillon {
namespace {

using FieldSlot = std::array<char, kGgaFieldSlotSize>;

// The zero-terminated text that starts at `start` inside `text`.
std::string_view TextAt(std::span<const char> text, std::size_t start) {
  const auto rest = text.subspan(start);
  const auto end = std::find(rest.begin(), rest.end(), '\0');
  return {rest.data(), static_cast<std::size_t>(end - rest.begin())};
}

std::string_view SlotText(const FieldSlot& slot) { return TextAt(slot, 0); }

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

}  // namespace

std::size_t SplitGgaFields(GgaFieldTable& fields, std::span<char> text) {
  const auto end = std::find(text.begin(), text.end(), '\0');
  const std::string_view view(text.data(), static_cast<std::size_t>(end - text.begin()));
  std::size_t start = view.find("$GPGGA");
  if (start == std::string_view::npos) return 0;

  std::size_t count = 0;
  for (;;) {
    if (count < fields.size()) fields[count] = start;
    ++count;
    const std::size_t comma = view.find(',', start);
    if (comma == std::string_view::npos) break;
    text[comma] = '\0';
    start = comma + 1;
  }
  return count;
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
  const std::size_t first = sentence.find("GPGGA");
  if (first == std::string_view::npos) return 0;
  const std::size_t star = sentence.find('*', first);
  if (star == std::string_view::npos) return 0;
  std::uint8_t sum = 0;
  for (const char c : sentence.substr(first, star - first)) sum ^= static_cast<std::uint8_t>(c);
  return sum;
}

int OverrideGgaPosition(std::span<char, kUpstreamBufferSize> buffer, std::size_t length,
                        double latitude, double longitude) {
  if (!IsGlobePosition(latitude, longitude)) return 0;

  // The work copy is zero-filled beyond the block, so its text is always terminated.
  std::array<char, kGgaWorkCopySize> work{};
  const std::size_t used = std::min(length, kUpstreamBufferSize - 1);
  std::copy_n(buffer.begin(), used, work.begin());

  GgaFieldTable starts{};
  if (SplitGgaFields(starts, work) != kGgaFieldCount) return 0;

  std::array<FieldSlot, kGgaFieldCount> fields{};
  for (std::size_t i = 0; i < kGgaFieldCount; ++i) {
    if (!FillSlot(fields[i], TextAt(work, starts[i]))) return 0;
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

  std::string sentence;
  for (std::size_t i = 0; i + 1 < kGgaFieldCount; ++i) {
    sentence.append(SlotText(fields[i])).append(",");
  }
  sentence.append(SlotText(last));
  std::array<char, 8> checksum{};
  std::snprintf(checksum.data(), checksum.size(), "%02x\r\n", GgaChecksum(sentence));
  sentence.append(checksum.data());
  if (sentence.size() > kGgaMaxSentenceLength) return 0;

  const auto out = std::copy(sentence.begin(), sentence.end(), buffer.begin());
  *out = '\0';
  return 1;
}

}  // namespace quillon
