#include "testing/scripted_lookup.h"

#include "testing/virtual_clock.h"

namespace quillon::testing {

IpAddress LiteralAddress(const std::string& text) {
  VirtualClock clock;
  return ResolveCasterAddress(text, clock).addresses.at(0);
}

NameLookup ScriptedLookup::Seam() {
  return [this](const std::string& name) {
    asked.push_back(name);
    CasterAddress found{AddressKind::kResolved, {}, {}};
    for (const std::string& text : answer) found.addresses.push_back(LiteralAddress(text));
    return found;
  };
}

}  // namespace quillon::testing
