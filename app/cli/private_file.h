// A file the program takes only when other users cannot have changed it (or, for secrets, read
// it): the files that say where the receiver's data goes and who may have it.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <string>

namespace quillon::cli {

enum class PrivateFileRead {
  kRead,
  kNoFile,      // no regular file there
  kUnreadable,  // it could not be opened or read
  kTooLarge,    // larger than the bound
  kOpen,        // one of the refused mode bits is set, or it belongs to another user than root
};

// The whole file at `path` into `text` when it is a regular file of this user or root, with
// none of the `refusedModes` bits (such as S_IWGRP | S_IWOTH) and at most `maxBytes` bytes.
PrivateFileRead ReadPrivateFile(const std::string& path, mode_t refusedModes, std::size_t maxBytes,
                                std::string& text);

}  // namespace quillon::cli
