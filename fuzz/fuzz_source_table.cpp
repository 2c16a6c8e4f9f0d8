// Feeds caster replies to both source-table parsers. Every name kept must fit its slot, hold no
// line break or ";", and the count stays within the table.
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "ntrip/ntrip_source_table.h"
#include "ntrip/source_table_records.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view reply(reinterpret_cast<const char*>(data), size);
  quillon::CNtripSourceTable table;
  table.ParseSourceTable(reply);
  if (table.GetCount() < 0 || table.GetCount() > quillon::kMaxSourceTableNames) std::abort();
  for (int i = 0; i <= table.GetCount(); ++i) {
    quillon::MountPointSlot slot;
    table.GetMountPoint(i, &slot);
    if (slot.back() != '\0' || std::strpbrk(slot.data(), ";\r\n") != nullptr) std::abort();
    if (i == table.GetCount() && slot[0] != '\0') std::abort();
  }
  for (const auto& record : quillon::ParseStreamRecords(reply)) {
    if (record.mountPoint.find_first_of("\r\n") != std::string_view::npos) std::abort();
  }
  return 0;
}
