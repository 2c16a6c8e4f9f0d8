// The wait a worker counts down before its next attempt, on the clock it was given.
#pragma once

#include <cstdint>
#include <functional>

#include "platform/clock.h"

namespace quillon {

// The longest step of a countdown: a stop is seen within it.
inline constexpr std::uint32_t kCountdownStepMs = 100;

// Counts `seconds` down on `clock` in steps of at most kCountdownStepMs. Before each step `show`
// is told the whole seconds left, rounded up (`seconds` first, 1 last); after each step
// `stopAsked` is asked. false as soon as it answers true; true once the time has passed.
bool CountDown(Clock& clock, int seconds, const std::function<void(int secondsLeft)>& show,
               const std::function<bool()>& stopAsked);

}  // namespace quillon
