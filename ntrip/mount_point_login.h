// Logging in to a mount point, as the session workers and the probe do: the request the settings
// ask for, the login, the verdict on the reply, and what a failure tells the user. What comes
// after a failure (a box, a countdown, an exit status) is each caller's own rule.
#pragma once

#include <string>
#include <string_view>

#include "common/settings_record.h"
#include "net/caster_socket.h"
#include "ntrip/caster_login.h"
#include "ntrip/login_verdict.h"
#include "platform/clock.h"
#include "platform/wait_step.h"

namespace quillon {

// Where a login failed.
enum class LoginFailure {
  kNone,           // the caster accepted
  kStopped,        // the stop asked to give up: nothing to tell
  kNoSocket,       // no socket could be created, or the address is none
  kConnectFailed,  // the host name did not resolve, or the connect failed
  kIoFailed,       // the request or the reply did not go through (TLS included)
  kRefused,        // the caster's reply was not accepted
};

struct MountPointLogin {
  CasterLogin login;
  LoginVerdict verdict;
  LoginFailure failure = LoginFailure::kStopped;
  std::u16string text;    // a failure's message for the user
  std::u16string detail;  // what really happened, where the message cannot say it
};

// The request that `settings` ask for in `role`, as the settings' NTRIP version has it: the
// Rover's GET of its mount point with its login (nothing with "Do not use NTRIP
// authentication."), or the Base's SOURCE or POST. `host` is the caster address as sent.
std::string MountPointRequest(const SettingsRecord& settings, LoginRole role,
                              std::string_view host);

// Judges `login` (of a request in NTRIP `version`, from `role`; JudgeLoginReply) and, when it was
// not accepted, says why as a session worker tells the user. `address` is the text the connect
// was given.
MountPointLogin JudgeLogin(CasterLogin login, NtripVersion version, LoginRole role,
                           std::string_view address);

// Logs in to the caster, port and mount point of `settings` in `role`: LogInToCaster with
// MountPointRequest (its reply gathered as the version asks), then JudgeLogin. TLS as the
// settings' protocol says, without checking the certificate when `insecureTls`.
MountPointLogin LogInToMountPoint(const SettingsRecord& settings, LoginRole role,
                                  CasterSocket& socket, Clock& clock, const StopRequested& stop,
                                  bool insecureTls);

}  // namespace quillon
