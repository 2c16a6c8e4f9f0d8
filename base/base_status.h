// The Base's status object: the session status both modes share, with the Base's status text
// that the front end shows in place of the counters while an upload attempt has failed.
#pragma once

#include <string>
#include <string_view>

#include "session/session_status.h"

namespace quillon {

class BaseStatus : public SessionStatus {
 public:
  // Puts `text` into the status text, cut to fit; takes the lock.
  void SetStatusText(std::u16string_view text);
  // Empties the status text and the detail; takes the lock.
  void ClearStatusText();
  // Copies taken under the lock.
  std::u16string StatusText();
  std::u16string Detail();
};

// The worker writes every field: they must all be SessionStatus's, which ends the worker first.
static_assert(sizeof(BaseStatus) == sizeof(SessionStatus), "BaseStatus adds no fields");

}  // namespace quillon
