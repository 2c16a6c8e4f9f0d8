// Replacing a small file whole, so that a reader finds the old contents or the new ones and
// never a part: the settings files and the list of known Bluetooth devices.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <system_error>

namespace quillon {

// Replaces `file` with `bytes`, mode 0600 (the files hold passwords). The bytes go to a new
// temporary file in the same folder (a fresh name, never an existing file or link), are flushed
// to the disk, and the temporary file is then renamed over `file`: a link in its place is
// replaced, never followed. A failed or interrupted write leaves the old file whole and no
// temporary file behind. The system's reason when that cannot be done (EINVAL for an empty
// path); no error on success.
std::error_code ReplaceFile(const std::filesystem::path& file, std::span<const std::uint8_t> bytes);

}  // namespace quillon
