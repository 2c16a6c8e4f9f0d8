// Replacing a small file whole, so that a reader finds the old contents or the new ones and
// never a part: the settings files and the list of known Bluetooth devices.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>

namespace quillon {

// Replaces `file` with `bytes`, mode 0600 (the files hold passwords). The bytes go to a new
// temporary file in the same folder (a fresh name, never an existing file or link), are flushed
// to the disk, and the temporary file is then renamed over `file`; a failed or interrupted write
// leaves the old file whole and no temporary file behind. false when that cannot be done, and
// for an empty path.
bool ReplaceFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);

}  // namespace quillon
