// The program's numbered texts and the one loader for them.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

enum StringId : std::uint32_t {
  kStrSocketStartupFailed = 104,
  kStrDocumentTemplate = 128,
  kStrUnableToOpenComPort = 61204,
  kStrError = 61206,
  kStrAddressEmpty = 61207,
  kStrPortInvalid = 61208,
  kStrConfirmSourceTable = 61211,
  kStrWarning = 61212,
  kStrCouldNotCreateSocket = 61213,
  kStrConnectionError = 61214,  // "%s": the system's reason text
  kStrCredentialsRejected = 61215,
  kStrSocketReadProblem = 61216,
  kStrNoComPort = 61217,
  kStrConfirmEndSession = 61218,
  kStrRetryCountdown = 61219,     // "%d/%d in %d seconds ... %s"
  kStrCouldNotReconnect = 61220,  // elapsed "%s", reason "%s"
  kStrAuthenticationIo = 61221,
  kStrIncompatiblePlatform = 61224,
  kStrComPortIoError = 61228,
  kStrBluetoothRadioOff = 61229,
  kStrBuildText = 61230,  // About box: build number %d, build date %s
  kStrMountPointBlank = 61231,
  kStrSourcePasswordBlank = 61232,
  kStrUserNameColon = 61233,
  kStrRetryCountdownNoLimit = 61234,  // "%d in %d seconds ... %s": retries without a limit
};

// Units of the loader's destination, terminator included.
inline constexpr std::size_t kStringBufferSize = 256;

// The text of string `id`, cut to at most 255 UTF-16 units without splitting a surrogate pair;
// empty for an unknown id.
std::u16string LoadString(std::uint32_t id);

// The full table entry, uncut; empty for an unknown id.
std::u16string_view StringTableEntry(std::uint32_t id);

}  // namespace quillon
