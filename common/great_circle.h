// Places on the globe and the distance between them, for the streams of a source table and the
// reference stations a correction stream names.
#pragma once

namespace quillon {

// A place on the globe in degrees, north and east positive.
struct GeoPosition {
  double latitude = 0.0;
  double longitude = 0.0;
};

// The great-circle distance in km between two positions, on a sphere of the Earth's mean
// radius (6371 km).
double GreatCircleKm(GeoPosition from, GeoPosition to);

}  // namespace quillon
