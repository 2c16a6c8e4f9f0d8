#include "common/great_circle.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace quillon {
namespace {

double Radians(double degrees) { return degrees * std::numbers::pi / 180.0; }

}  // namespace

double GreatCircleKm(GeoPosition from, GeoPosition to) {
  constexpr double kEarthRadiusKm = 6371.0;
  const double dLatitude = Radians(to.latitude - from.latitude);
  const double dLongitude = Radians(to.longitude - from.longitude);
  const double a = std::pow(std::sin(dLatitude / 2), 2) + std::cos(Radians(from.latitude)) *
                                                              std::cos(Radians(to.latitude)) *
                                                              std::pow(std::sin(dLongitude / 2), 2);
  return 2.0 * kEarthRadiusKm * std::asin(std::min(1.0, std::sqrt(a)));
}

}  // namespace quillon
