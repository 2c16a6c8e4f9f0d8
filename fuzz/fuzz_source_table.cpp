// Feeds caster replies to both source-table parsers and to what prints them. Every name kept
// must fit its slot, hold no line break, ";" or other control byte, and the count stays within
// the table; every record line is a "STR;" line of the reply without a line end; a stream's
// position is on the globe and its distance within half the Earth's circumference; nothing
// printed from the reply holds a control character.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "common/printable_text.h"
#include "ntrip/ntrip_source_table.h"
#include "ntrip/reply.h"
#include "ntrip/source_table_records.h"

namespace {

void RequirePrintable(std::string_view text) {
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (byte < 0x20 || byte == 0x7F) std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  quillon::CNtripSourceTable table;
  table.ParseSourceTable(reply);
  if (table.GetCount() < 0 || table.GetCount() > quillon::kMaxSourceTableNames) std::abort();
  for (int i = 0; i <= table.GetCount(); ++i) {
    quillon::MountPointSlot slot;
    table.GetMountPoint(i, &slot);
    if (slot.back() != '\0' || std::strpbrk(slot.data(), ";\r\n\t\x1b\x7f") != nullptr) {
      std::abort();
    }
    if (i == table.GetCount() && slot[0] != '\0') std::abort();
  }
  for (const std::string_view line : quillon::StreamRecordLines(reply)) {
    if (!line.starts_with("STR;") || line.find_first_of("\r\n") != std::string_view::npos ||
        line.data() < reply.data() || line.data() + line.size() > reply.data() + reply.size()) {
      std::abort();
    }
    const quillon::StreamRecord record = quillon::SplitStreamRecord(line);
    RequirePrintable(quillon::PrintableText(record.mountPoint));
    if (const auto position = quillon::StreamPosition(record)) {
      if (std::fabs(position->latitude) > 90.0 || std::fabs(position->longitude) > 180.0) {
        std::abort();
      }
      const double km = quillon::GreatCircleKm({0.0, 0.0}, *position);
      if (!(km >= 0.0 && km <= 20015.1)) std::abort();
    }
  }
  RequirePrintable(quillon::DescribeCasterReply(reply));
  return 0;
}
