#include "app/cli/station_status_of.h"

namespace quillon::cli {
namespace {

// The one caster's state in a word or two, or the retry line.
std::string OneCasterState(const SessionState& state, ConnectingMode mode) {
  switch (state.phase) {
    case SessionPhase::kConnecting:
      return "connecting";
    case SessionPhase::kConnected:
      return mode == ConnectingMode::kBase ? "uploading" : "relaying";
    case SessionPhase::kWaitingToRetry:
      return state.retryText;
    case SessionPhase::kReceiverLost:
      return "connected, the receiver has gone";
    case SessionPhase::kReceiverStalled:
      return "connected, the receiver takes no data";
  }
  return {};
}

}  // namespace

StationStatus StationStatusOf(ConnectingMode mode, std::int64_t uptimeSeconds,
                              const SessionState& state, const std::string& casterName) {
  StationStatus station;
  station.mode = mode;
  station.uptimeSeconds = uptimeSeconds;
  const SessionSnapshot& counters = state.counters;
  if (state.casters.empty()) {
    station.outputs.push_back({casterName, OneCasterState(state, mode),
                               state.phase == SessionPhase::kConnected, counters.rate,
                               counters.total});
  }
  for (const CasterLine& caster : state.casters) {
    station.outputs.push_back({caster.name, caster.text, caster.up, caster.rate, caster.total});
  }
  station.solution = counters.solution;
  station.receiverPosition = counters.receiverPosition;
  return station;
}

}  // namespace quillon::cli
