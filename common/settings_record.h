// The part of the settings record that the Rover and the Base share: the connection fields and
// the host history, bytes 0..2799 of the 2824-byte settings file image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "common/caster_protocol.h"
#include "common/long_field.h"

namespace quillon {

inline constexpr std::size_t kSettingsImageSize = 2824;
inline constexpr std::size_t kSharedPartSize = 2800;  // the mode's own fields follow
inline constexpr std::size_t kHostEntrySize = 516;
inline constexpr std::int32_t kMaxHosts = 5;
inline constexpr std::int32_t kMaxMountPoints = 10;
// The units the image's fields hold of a user name or a password, and of an address, a mount
// point or a COM port name, as the handheld's record has them; each field holds one more unit,
// its terminator.
inline constexpr int kCredentialChars = 15;
inline constexpr int kNameChars = 19;
// The longest values the program takes, in bytes of UTF-8: what does not fit the fields above
// is kept whole in the settings file's extension. E-mail user names and token passwords, DNS
// names (253 is the longest a name can be), casters' long mount points, /dev/serial/by-id paths.
inline constexpr std::size_t kMaxCredentialBytes = 255;
inline constexpr std::size_t kMaxAddressBytes = 253;
inline constexpr std::size_t kMaxMountPointBytes = 127;
inline constexpr std::size_t kMaxDevicePathBytes = 255;
// Room for those values as 8-bit text with their terminator, as the workers and the table
// client convert them for a request.
inline constexpr std::size_t kAddressTextSize = kMaxAddressBytes + 1;
inline constexpr std::size_t kCredentialTextSize = kMaxCredentialBytes + 1;

using SettingsImage = std::array<std::uint8_t, kSettingsImageSize>;
// A whole settings file: the image, then the extension when a value needs it.
using SettingsBytes = std::vector<std::uint8_t>;

using CredentialField = LongField<kCredentialChars + 1, kMaxCredentialBytes>;
using AddressField = LongField<kNameChars + 1, kMaxAddressBytes>;
using MountPointField = LongField<kNameChars + 1, kMaxMountPointBytes>;
using DevicePathField = LongField<kNameChars + 1, kMaxDevicePathBytes>;

// One remembered caster with the mount points used with it.
struct HostEntry {
  AddressField address;
  std::int32_t port = 0;
  CredentialField userName;
  CredentialField password;  // in clear, as the caster needs it
  std::int32_t selectedMountPoint = 0;
  std::int32_t mountPointCount = 0;
  std::array<MountPointField, kMaxMountPoints> mountPoints{};
  CasterProtocol protocol;  // kept in the extension

  bool operator==(const HostEntry&) const = default;
};

// What a Rover sends upstream: the receiver's whole output, or only its GGA sentences, at most
// one per `ggaSeconds` seconds (a metered link carries a few bytes a second then).
inline constexpr std::int32_t kMinGgaSeconds = 1;
inline constexpr std::int32_t kMaxGgaSeconds = 3600;
struct UpstreamChoice {
  std::int32_t ggaSeconds = 0;  // 0: the whole output; kMinGgaSeconds..kMaxGgaSeconds: GGA only

  bool operator==(const UpstreamChoice&) const = default;
};

// The shared fields. The owner field at offset 0 is not kept: it is written as 0.
struct SettingsRecord {
  CredentialField userName;
  CredentialField password;
  AddressField address;  // host name or dotted IPv4 address
  std::int32_t port = 0;
  std::int32_t comIndex = 0;   // position in the COM port list
  std::int32_t baudIndex = 0;  // position in kBaudRates
  std::int32_t reserved120 = 0;
  DevicePathField comPortName;
  MountPointField mountPoint;
  // Rover: 1 when no NTRIP authentication is used. The Base does not use it and stores 0.
  std::int32_t noAuthentication = 0;
  std::int32_t reserved208 = 0;
  std::int32_t selectedHost = 0;
  std::int32_t hostCount = 0;
  std::array<HostEntry, kMaxHosts> hosts{};
  // The caster's protocol, which follows its address (see SetCasterAddress); kept in the
  // extension.
  CasterProtocol protocol;
  // Rover: not in the image, kept in the file's extension. The Base does not use it.
  UpstreamChoice upstream;

  bool operator==(const SettingsRecord&) const = default;
};

// Zeroes the record, then sets the values used when there is no settings file: "user",
// "mellowax", "0.0.0.0", port 80, COM index 1, baud index 1, mount point "MNT0".
void SetSharedDefaults(SettingsRecord& record);

// Brings every count and position into range, so that no code indexes outside the record:
// a host count below 0 becomes 0 and above 5 becomes 5; a mount-point count below 0 becomes 0
// and above 10 becomes 10 (in every slot, used or not); a selected host or selected mount point
// that does not name a used entry becomes 0.
void ClampSettings(SettingsRecord& record);

// The COM port list is a list box position; no list this program fills comes near this.
inline constexpr std::int32_t kMaxComIndex = 255;

// Brings every field of a record read from a file into its range, so that a corrupt file
// still gives sane settings and a proper login: counts and positions as ClampSettings does; a
// no-authentication flag other than 0 or 1 reads as 0; a baud index outside 0..6 and a COM
// index outside -1..kMaxComIndex read as their defaults (1); a port (the record's or a host
// entry's) outside 0..65535 reads as 0, which Connect refuses; a text holding a control
// character reads as empty (CR or LF would end up inside a request header).
void RepairSettings(SettingsRecord& record);

// Writes the shared fields into bytes 0..2799 of `image`, field by field, little-endian; the
// owner field becomes 0. Bytes from 2800 on are not touched.
void EncodeSharedSettings(const SettingsRecord& record, SettingsImage& image);

// Reads the shared fields from the file `bytes` of any length: missing bytes of the image read
// as zero, bytes 2800..2823 (the mode's) are not looked at, and what follows the image is read
// as the extension (DecodeSettingsExtension), which is ignored when damaged. Nothing of what
// `record` held before stays: a value that `bytes` lacks is its default. A text without a
// terminator in its field is cut at the field's end (never inside a surrogate pair). Every field
// is brought into range with RepairSettings.
void DecodeSharedSettings(std::span<const std::uint8_t> bytes, SettingsRecord& record);

// The whole file: `image`, then the extension when a text of `record` does not fit the image.
SettingsBytes SettingsFileBytes(const SettingsImage& image, const SettingsRecord& record);

// `bytes` as far as it goes in an image of 2824 bytes; the rest zero, anything past it dropped.
SettingsImage PaddedSettingsImage(std::span<const std::uint8_t> bytes);

}  // namespace quillon
