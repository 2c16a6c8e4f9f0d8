// The file of a private certificate authority that a caster's TLS is verified with, as the
// command line's --ca-file and the window's "Caster options" take it.
#pragma once

#include <string>
#include <string_view>

namespace quillon {

// Checks `value`: UTF-8 of at most kMaxCaFileBytes bytes without control characters, naming a
// regular file this user may read. Returns the empty text with `absolute` set to the file's
// absolute path (so that a service started elsewhere finds it), or what is wrong in a few words
// ("cannot read /etc/ca.pem (No such file or directory)"), `absolute` untouched.
std::string CaFileProblem(std::string_view value, std::string& absolute);

}  // namespace quillon
