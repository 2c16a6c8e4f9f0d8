// A resolver double for the name lookup seam (NameLookup): answers every name with the same
// literal addresses and keeps the names it was asked.
#pragma once

#include <string>
#include <vector>

#include "net/address.h"

namespace quillon::testing {

// The one address a literal address text (such as "127.0.0.1" or "::1") stands for.
IpAddress LiteralAddress(const std::string& text);

struct ScriptedLookup {
  std::vector<std::string> answer;  // literal addresses
  std::vector<std::string> asked;
  // Answers through this object, which must outlive the lookups.
  NameLookup Seam();
};

}  // namespace quillon::testing
