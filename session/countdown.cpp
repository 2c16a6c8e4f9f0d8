#include "session/countdown.h"

#include <algorithm>

namespace quillon {

bool CountDown(Clock& clock, int seconds, const std::function<void(int secondsLeft)>& show,
               const std::function<bool()>& stopAsked) {
  const std::uint32_t total = static_cast<std::uint32_t>(std::max(seconds, 0)) * 1000;
  const std::uint32_t start = clock.TickCount();
  // Measured on the clock rather than counted in steps, so that steps that sleep longer than
  // asked do not make the wait longer than it says.
  for (std::uint32_t passed = 0; passed < total; passed = clock.TickCount() - start) {
    const std::uint32_t left = total - passed;
    show(static_cast<int>((left + 999) / 1000));
    clock.Sleep(std::min(kCountdownStepMs, left));
    if (stopAsked()) return false;
  }
  return true;
}

}  // namespace quillon
