#include "rtcm/wgs84.h"

#include <cmath>
#include <numbers>

namespace quillon {
namespace {

constexpr double kSemiMajorAxis = 6378137.0;
constexpr double kFlattening = 1.0 / 298.257223563;
constexpr double kEccentricitySquared = kFlattening * (2.0 - kFlattening);
constexpr double kDegreesPerRadian = 180.0 / std::numbers::pi;
constexpr int kMaxIterations = 10;
constexpr double kLatitudeTolerance = 1e-13;  // radians: well under a micrometre

// The prime vertical radius of curvature where the sine of the geodetic latitude is
// `sinLatitude`.
double PrimeVerticalRadius(double sinLatitude) {
  return kSemiMajorAxis / std::sqrt(1.0 - kEccentricitySquared * sinLatitude * sinLatitude);
}

}  // namespace

Wgs84Position Wgs84FromEcef(EcefPosition ecef) {
  const double p = std::hypot(ecef.x, ecef.y);  // distance from the polar axis
  // Start from the latitude a sphere would give and let the ellipsoid pull it into place.
  double latitude = std::atan2(ecef.z, p * (1.0 - kEccentricitySquared));
  for (int i = 0; i < kMaxIterations; ++i) {
    const double sinLatitude = std::sin(latitude);
    const double next = std::atan2(
        ecef.z + kEccentricitySquared * PrimeVerticalRadius(sinLatitude) * sinLatitude, p);
    const bool settled = std::fabs(next - latitude) < kLatitudeTolerance;
    latitude = next;
    if (settled) break;
  }
  const double sinLatitude = std::sin(latitude);
  // Height along the normal, written so that it stays exact at the poles as on the equator.
  const double height =
      p * std::cos(latitude) + ecef.z * sinLatitude -
      kSemiMajorAxis * std::sqrt(1.0 - kEccentricitySquared * sinLatitude * sinLatitude);
  return {{latitude * kDegreesPerRadian, std::atan2(ecef.y, ecef.x) * kDegreesPerRadian}, height};
}

}  // namespace quillon
