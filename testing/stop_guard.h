// A session's stop run under a guard against a hang. A worker held where only the stop
// sequence's shutdown of its caster socket can wake it shows whether the stop still gives that
// wake-up: without it the test fails within seconds instead of hanging its binary.
#pragma once

#include <chrono>
#include <functional>
#include <future>

#include "net/caster_socket.h"
#include "testing/hooked_clock.h"

namespace quillon::testing {

// Far more than a stop needs (a few real milliseconds), far less than the test runner's limit:
// a guard against a hang, not a measurement.
inline constexpr std::chrono::seconds kStopGuard{5};

// Runs `stop` on another thread and waits up to kStopGuard of real time for it to return. When
// the guard runs out, shuts `socket` down (the wake-up the stop failed to give) every few
// milliseconds until `stop` has returned, so that the test ends with its failure. True when the
// stop returned within the guard.
bool StopsInTime(const std::function<void()>& stop, const CasterSocket& socket);

// Chains onto `hook`, a wait hook of `clock`, before the worker starts: the first of those waits
// at which `when` holds (the first of all without `when`) is made to block until a descriptor is
// ready (BlockNextWait). The future is ready once that wait is about to begin.
std::future<void> BlockWaitWhen(HookedClock& clock, std::function<void(int)>& hook,
                                std::function<bool()> when = {});

}  // namespace quillon::testing
