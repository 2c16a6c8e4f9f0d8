#include "serve/station_view.h"

namespace quillon {

std::string_view StationView::ModeName() const {
  return status.mode == ConnectingMode::kRover ? "Rover" : "Base";
}

std::optional<double> StationView::DistanceKm() const {
  if (!status.receiverPosition) return std::nullopt;
  return StationDistanceKm(state.summary, *status.receiverPosition);
}

}  // namespace quillon
