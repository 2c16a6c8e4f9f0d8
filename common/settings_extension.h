// The settings file's extension: what the 2824-byte image cannot hold, in the same file after
// the image, so that one atomic replace writes both and a reader of 2824 bytes still works.
//
// Format (integers little-endian): the magic "ZQEX"; a version (u16, 1); the length of the
// records that follow (u32); the records; a CRC-32 (u32, as zlib's crc32) of every byte before
// it. The file ends with the checksum. A record is a value id (u8), a host slot (u8: 0..4 for a
// host entry's value, 0xFF for the record's own), a mount-point slot (u8: 0..9 for a host
// entry's mount point, else 0xFF), the value's size (u16) and its bytes; a text is UTF-8.
// Records of an id this program does not know are skipped, so that a later program can add
// values to version 1; a change that an older reader would misread takes a new version, which
// that reader ignores. Adding a value: an id in ExtensionValueId, a line in ForEachValue
// (settings_extension.cpp) and, for a new kind of value, its two conversions there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "common/settings_record.h"

namespace quillon {

// The most bytes of records an extension may have; longer ones are not read.
inline constexpr std::size_t kMaxExtensionRecordBytes = 65536;
// Magic, version and length, and the checksum behind the records.
inline constexpr std::size_t kExtensionHeaderSize = 10;
inline constexpr std::size_t kExtensionChecksumSize = 4;
inline constexpr std::size_t kMaxSettingsFileSize =
    kSettingsImageSize + kExtensionHeaderSize + kMaxExtensionRecordBytes + kExtensionChecksumSize;

enum class ExtensionValueId : std::uint8_t {
  kUserName = 1,
  kPassword = 2,
  kAddress = 3,
  kMountPoint = 4,
  kDevicePath = 5,
  // The caster's protocol: the NTRIP version (u8, 1 or 2), TLS (u8, 0 or 1; only with version
  // 2) and the CA file's path (UTF-8, the rest of the value).
  kCasterProtocol = 6,
  kUpstream = 7,  // UpstreamChoice::ggaSeconds, u16; absent: the whole output
};

// The extension that `record` needs: every text that its field in the image cannot hold. Empty
// when there is none, so that a file with short values stays 2824 bytes.
SettingsBytes EncodeSettingsExtension(const SettingsRecord& record);

// Takes the values of `extension` (the bytes after the image) into `record`, whose image fields
// are read already. A damaged extension (magic, version, length, checksum, a record running past
// the end) is ignored whole. A text is taken only when it is valid UTF-8 of at most its field's
// maximum, holds no control character, is longer than the image's field, and begins with what
// that field holds (a program that knows no extension may have rewritten the field since). A
// caster protocol is taken whole or not at all: a version 1 or 2, TLS only with version 2, and a
// CA file that is empty or an absolute path of at most kMaxCaFileBytes bytes of UTF-8 without
// control characters. The upstream interval is taken only when it is within
// kMinGgaSeconds..kMaxGgaSeconds.
void DecodeSettingsExtension(std::span<const std::uint8_t> extension, SettingsRecord& record);

// The CRC-32 of `bytes` (polynomial 0xEDB88320, as zlib and PNG use).
std::uint32_t Crc32(std::span<const std::uint8_t> bytes);

}  // namespace quillon
