// `--listen-users FILE`: who may take the stream of the program's own caster, one
// "user:password" a line; blank lines and lines whose first character is '#' are skipped.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace quillon::cli {

inline constexpr std::size_t kMaxListenUsersFileBytes = 65536;

// The Basic credentials of every line (BasicToken) into `tokens`. Refused (false, `error` one
// line naming the file as given and, where one is to blame, the line) when the file is no
// regular file of this user (or root), can be read or written by anyone else, as it holds
// passwords, is larger than kMaxListenUsersFileBytes, has a line with a control character or
// no "user:" before its password, or names nobody.
bool ReadListenUsersFile(const std::string& path, std::vector<std::string>& tokens,
                         std::string& error);

}  // namespace quillon::cli
