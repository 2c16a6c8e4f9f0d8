// The receiver's output reduced to its GGA sentences, one per interval: what a Rover on a metered
// link sends upstream when the caster needs its position and nothing else.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quillon {

// A sentence may go this much before its turn, and two sent are never closer than the interval
// less this: a 1 Hz receiver's sentences reach the program early or late by up to a few hundred
// milliseconds (USB and Bluetooth latency, a busy system), and a strict interval of one second
// would take only every other one.
inline constexpr std::uint32_t kGgaPaceSlackMs = 250;

class GgaPace {
 public:
  explicit GgaPace(std::uint32_t intervalMs) : intervalMs_(intervalMs) {}

  // Takes the next block of the receiver's output (after the position override; it may be cut
  // anywhere) and returns what goes upstream now, valid until the next call: the GGA sentences of
  // any talker that are complete (from "$" to LF) and well-formed (WellFormedPositionKind), each
  // only when its turn has come, and nothing else. The first goes at once; then one per interval
  // on a schedule that does not drift with the receiver's timing, each up to kGgaPaceSlackMs
  // before its turn, and never two closer than the interval less that. `tickMs` is the clock's
  // tick of this pass.
  std::string_view Pass(std::string_view block, std::uint32_t tickMs);

 private:
  void Complete(std::uint32_t tickMs);

  const std::uint32_t intervalMs_;
  std::string line_;  // the sentence being read, from its "$"; empty outside one
  bool started_ = false;
  std::uint32_t dueMs_ = 0;  // tick of the next turn
  std::string out_;
};

}  // namespace quillon
