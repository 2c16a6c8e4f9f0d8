// The mount point names a table holds, in order: what the source table tests compare.
#pragma once

#include <string>
#include <vector>

#include "ntrip/ntrip_source_table.h"

namespace quillon::testing {

inline std::vector<std::string> Names(const CNtripSourceTable& table) {
  std::vector<std::string> names;
  for (int i = 0; i < table.GetCount(); ++i) {
    MountPointSlot slot;
    names.emplace_back(table.GetMountPoint(i, &slot)->data());
  }
  return names;
}

}  // namespace quillon::testing
