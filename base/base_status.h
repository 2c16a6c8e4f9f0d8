// The Base's status object: the session status both modes share, plus the status text that the
// front end shows in place of the counters while an upload attempt has failed.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

#include "common/wide.h"
#include "session/session_status.h"

namespace quillon {

// Units of the status text, terminator included.
inline constexpr std::size_t kBaseStatusTextSize = 512;

class BaseStatus : public SessionStatus {
 public:
  // The worker writes the status text: it must have ended before the text goes.
  ~BaseStatus() override { EndWorker(); }

  // Empty while all is well; otherwise the failure text or the retry countdown. Guarded by
  // `lock`.
  WideField<kBaseStatusTextSize> statusText{};
  // The attempt in progress or just failed, 1 to kBaseAttempts; 0 before the first. Guarded by
  // `lock`.
  int attempt = 0;

  // What really happened in the last failed attempt, where the status text cannot say it (see
  // Message::detail); the command line prints it, the dialog leaves it out. Guarded by `lock`.
  std::u16string detail;

  // The link reported the receiver gone while the caster stays connected; it is being opened
  // again. Guarded by `lock`.
  bool receiverLost = false;

  // Everything SessionStatus::Reset clears, the status text, the attempt, the detail and
  // receiverLost.
  void Reset() override;

  // Puts `text` into the status text, cut to fit; takes the lock.
  void SetStatusText(std::u16string_view text);
  // Empties the status text and the detail; takes the lock.
  void ClearStatusText();
  // Copies taken under the lock.
  std::u16string StatusText();
  std::u16string Detail();
};

}  // namespace quillon
