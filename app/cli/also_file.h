// `quillon base --also FILE`: one more caster the Base uploads to, described in a file with the
// command line's own option names as keys, one "key = value" a line:
//   # a second caster
//   caster = caster.example.net:2101
//   mount = MYBASE
//   password-file = /etc/quillon/b-password
// The keys are caster, mount, user, password-file, ntrip, ca-file and tls (yes or no); each value
// is checked as its option's is. Lines may have blanks around key and value; a line whose first
// character other than a blank is '#' is a comment.
#pragma once

#include <cstddef>
#include <string>

#include "app/cli/password_file.h"
#include "app/cli/protocol_options.h"
#include "base/base_settings.h"

namespace quillon::cli {

// Bounds on a hostile FILE: the longest value, a CA file's path, fits a line with room to spare.
inline constexpr std::size_t kMaxAlsoFileBytes = 65536;
inline constexpr std::size_t kMaxAlsoLineBytes = 8192;

struct ExtraCaster {
  // The file's name without its folder ("b.conf"), made printable: how the status and the
  // messages name this caster.
  std::string name;
  // A record as the command line would leave a fresh one: address, port (2101 when the file names
  // none, 443 with TLS), mount point, user name, the password file's first line, and the
  // protocol (settings.protocol, what the session uses). No COM port: the receiver is the
  // primary caster's.
  BaseSettings settings;
  // The protocol options as the file gave them; `insecure` is never set by a file.
  ProtocolOptions protocol;
};

// Reads the file at `path` into `caster`. Refused (kRefused, `error` set to one line naming the
// file as given and, where one is to blame, the line: `b.conf:3: unknown key "colour"`) when the
// file is no regular file, is larger than kMaxAlsoFileBytes, or can be written by other users
// (its group or others may write it, or it belongs to a user other than this one and root),
// since it names where the receiver's data goes; when a line is longer than
// kMaxAlsoLineBytes, holds a control character, is no "key = value", or names a key not listed
// above or one given before; when a value is not what its option takes; when caster or mount is
// missing; when the password file cannot be read (ReadPasswordFile, which may wait on `wait`:
// kStopAsked as it does); or when the record fails the Base's Connect checks
// (FirstConnectProblem). `caster` is left as it was unless kRead.
PasswordFileRead ReadAlsoFile(const std::string& path, const PasswordFileWait& wait,
                              ExtraCaster& caster, std::string& error);

}  // namespace quillon::cli
