// How a caster is spoken to: the NTRIP version, and TLS with a private authority to verify it.
// Saved with each caster in the settings file's extension (the 2824-byte image has no room).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace quillon {

enum class NtripVersion : std::uint8_t { k1 = 1, k2 = 2 };

// The longest CA file path taken, in bytes of UTF-8: the system's own limit for a path.
inline constexpr std::size_t kMaxCaFileBytes = 4095;

struct CasterProtocol {
  NtripVersion version = NtripVersion::k1;
  bool tls = false;    // only with version 2, which is what HTTPS casters speak
  std::string caFile;  // UTF-8 absolute path of a private certificate authority; empty: none

  bool operator==(const CasterProtocol&) const = default;
};

}  // namespace quillon
