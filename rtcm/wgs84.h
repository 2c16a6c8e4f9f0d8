// Earth-centred, Earth-fixed coordinates as RTCM 3 station messages carry them, and the
// latitude, longitude and height on the WGS84 ellipsoid that people read.
#pragma once

#include "common/great_circle.h"

namespace quillon {

// Metres from the Earth's centre: X towards 0° E on the equator, Z towards the north pole.
struct EcefPosition {
  double x = 0.0;
  double y = 0.0;
  double z = 0.0;
};

struct Wgs84Position {
  GeoPosition place;    // degrees
  double height = 0.0;  // metres above the ellipsoid
};

// The WGS84 position of `ecef`. Iterates on the latitude until it changes by less than a
// micrometre on the ground; finite for every finite input, the Earth's centre included.
Wgs84Position Wgs84FromEcef(EcefPosition ecef);

}  // namespace quillon
