#include "core/geodesy.h"

#include <cmath>

namespace navorel {

namespace {

double clampUnit(double x) {
    return x > 1.0 ? 1.0 : (x < -1.0 ? -1.0 : x);
}
float clampUnit(float x) {
    return x > 1.0f ? 1.0f : (x < -1.0f ? -1.0f : x);
}

// Brings a value into [-limit, limit] range by whole turns first, so that absurd inputs cannot
// keep the step loops below spinning; values already within a few turns are left to them.
double reduceTurns(double a) {
    if (!std::isfinite(a)) return a;
    if (a > 3600.0 || a < -3600.0) a = std::fmod(a, 360.0);
    return a;
}

} // namespace

double normalise360(double a) {
    a = reduceTurns(a);
    if (!std::isfinite(a)) return a;
    while (a > 360.0) a -= 360.0;
    while (a < 0.0) a += 360.0;
    return a;
}

double normalise180(double lon) {
    lon = reduceTurns(lon);
    if (!std::isfinite(lon)) return lon;
    while (lon < -180.0) lon += 360.0;
    while (lon > 180.0) lon -= 360.0;
    return lon;
}

double foldAngle(double a, double b) {
    double x = std::fabs(a - b);
    if (x > 180.0) x = 360.0 - x;
    return x;
}

TrigPoint trigPoint(GeoPoint p) {
    TrigPoint t;
    t.at = p;
    const double phi = p.lat * kDegToRad;
    t.sinPhi = std::sin(phi);
    t.cosPhi = std::cos(phi);
    return t;
}

double trigBearing(const TrigPoint& from, const TrigPoint& to) {
    const double dLambda = (static_cast<double>(to.at.lon) - from.at.lon) * kDegToRad;
    const double y = std::sin(dLambda) * to.cosPhi;
    const double x = from.cosPhi * to.sinPhi - from.sinPhi * to.cosPhi * std::cos(dLambda);
    return normalise360(std::atan2(y, x) * kRadToDeg);
}

double greatCircleBearing(GeoPoint from, GeoPoint to) {
    return trigBearing(trigPoint(from), trigPoint(to));
}

double greatCircleCosine(double sinPhi1, double cosPhi1, double sinPhi2, double cosPhi2,
                         double dLambda) {
    return sinPhi1 * sinPhi2 + cosPhi1 * cosPhi2 * std::cos(dLambda);
}

double trigDistance(const TrigPoint& a, const TrigPoint& b) {
    const double dLambda = (static_cast<double>(b.at.lon) - a.at.lon) * kDegToRad;
    const double c = greatCircleCosine(a.sinPhi, a.cosPhi, b.sinPhi, b.cosPhi, dLambda);
    // Rounding can push the cosine of nearly identical positions just above 1.
    return kEarthRadius * std::acos(clampUnit(c));
}

double greatCircleDistance(GeoPoint a, GeoPoint b) {
    return trigDistance(trigPoint(a), trigPoint(b));
}

SpherePoint spherePointFrom(const TrigPoint& p) {
    SpherePoint s;
    s.at = p.at;
    const double lambda = p.at.lon * kDegToRad;
    s.sinPhi = p.sinPhi;
    s.cosPhi = p.cosPhi;
    s.x = s.cosPhi * std::cos(lambda);
    s.y = s.cosPhi * std::sin(lambda);
    s.z = s.sinPhi;
    return s;
}

SpherePoint spherePoint(GeoPoint p) {
    return spherePointFrom(trigPoint(p));
}

namespace {

// Either cosine of a pair is within a few units in the last place (about 1e-15) of the true
// one, and the arc cosine and the product by the radius add a relative 1e-15 at most, which
// moves the cosine of the limit by less than pi x 1e-15. Margins of 1e-12 and 1e-13 leave
// orders of magnitude to spare, and take in the rare pair within a millimetre of the limit.
constexpr double kDotMargin = 1e-12;
constexpr double kCosMargin = 1e-13;

} // namespace

DistanceBelow::DistanceBelow(double limit) : limit_(limit) {
    const double c = std::cos(limit / kEarthRadius);
    if (!(limit > 0.0) || !(limit / kEarthRadius < kPi - 1e-6)) {
        // Nothing is below a limit of 0 (or NaN), every pair below one of half the globe or
        // more; both left to the exact form.
        dotAbove_ = cosAbove_ = 2.0;
        dotBelow_ = cosBelow_ = -2.0;
        return;
    }
    dotAbove_ = c + kDotMargin;
    dotBelow_ = c - kDotMargin;
    cosAbove_ = c + kCosMargin;
    cosBelow_ = c - kCosMargin;
}

bool DistanceBelow::exact(const SpherePoint& a, const SpherePoint& b) const {
    const double dLambda = (static_cast<double>(b.at.lon) - a.at.lon) * kDegToRad;
    const double c = greatCircleCosine(a.sinPhi, a.cosPhi, b.sinPhi, b.cosPhi, dLambda);
    if (c > cosAbove_) return true;
    if (c < cosBelow_) return false;
    return greatCircleDistance(a.at, b.at) < limit_;
}

RhumbStart rhumbStart(GeoPoint from) {
    RhumbStart s;
    s.at = from;
    s.phi = from.lat * kDegToRad;
    s.tanTerm = std::tan(s.phi / 2.0 + kQuarterPi);
    return s;
}

GeoPoint rhumbMove(const RhumbStart& from, double bearing, double distance) {
    const float delta = static_cast<float>(distance / kEarthRadius);
    const double theta = bearing * kDegToRad;
    const double phi1 = from.phi;
    double phi2 = phi1 + delta * std::cos(theta);
    // A move past a pole stops just short of it instead of producing a NaN longitude.
    const double maxPhi = kHalfPi - 1e-9;
    if (phi2 > maxPhi) phi2 = maxPhi;
    if (phi2 < -maxPhi) phi2 = -maxPhi;
    const double dPhi = phi2 - phi1;
    double q;
    if (std::fabs(dPhi) < 1e-10) {
        q = std::cos(phi1);
    } else {
        q = dPhi / std::log(std::tan(phi2 / 2.0 + kQuarterPi) / from.tanTerm);
    }
    const double lambda2 = from.at.lon * kDegToRad + delta * std::sin(theta) / q;
    GeoPoint out;
    out.lon = static_cast<float>(normalise180(lambda2 * kRadToDeg));
    out.lat = static_cast<float>(phi2 * kRadToDeg);
    return out;
}

GeoPoint rhumbDestination(GeoPoint from, double bearing, double distance) {
    return rhumbMove(rhumbStart(from), bearing, distance);
}

double rhumbBearing(GeoPoint origin, GeoPoint p) {
    double dLambda = (static_cast<double>(p.lon) - origin.lon) * kDegToRad;
    if (std::fabs(dLambda) > kPi) dLambda = dLambda > 0 ? dLambda - kTwoPi : dLambda + kTwoPi;
    const double phi0 = origin.lat * kDegToRad;
    const double phi = p.lat * kDegToRad;
    const double dPsi =
        std::log(std::tan(phi / 2.0 + kQuarterPi) / std::tan(phi0 / 2.0 + kQuarterPi));
    return std::atan2(dLambda, dPsi);
}

double mercatorLatitude(double phiRadians) {
    return std::log(std::tan(kQuarterPi + phiRadians / 2.0));
}

bool greatCircleIntersection(GeoPoint p1, double bearing1, GeoPoint p2, double bearing2,
                             GeoPoint& out) {
    const float rad = static_cast<float>(kDegToRad);
    const float pi = static_cast<float>(kPi);
    const float twoPi = static_cast<float>(kTwoPi);
    const float phi1 = p1.lat * rad, lambda1 = p1.lon * rad;
    const float phi2 = p2.lat * rad, lambda2 = p2.lon * rad;
    const float theta13 = static_cast<float>(bearing1) * rad;
    const float theta23 = static_cast<float>(bearing2) * rad;
    const float dPhi = phi2 - phi1, dLambda = lambda2 - lambda1;

    const float sdp = std::sin(dPhi / 2.0f), sdl = std::sin(dLambda / 2.0f);
    const float d12 =
        2.0f * std::asin(std::sqrt(sdp * sdp + std::cos(phi1) * std::cos(phi2) * sdl * sdl));
    if (d12 == 0.0f) return false;

    const float thetaA = std::acos(clampUnit((std::sin(phi2) - std::sin(phi1) * std::cos(d12)) /
                                             (std::sin(d12) * std::cos(phi1))));
    const float thetaB = std::acos(clampUnit((std::sin(phi1) - std::sin(phi2) * std::cos(d12)) /
                                             (std::sin(d12) * std::cos(phi2))));
    float theta12, theta21;
    if (std::sin(dLambda) > 0.0f) {
        theta12 = thetaA;
        theta21 = twoPi - thetaB;
    } else {
        theta12 = twoPi - thetaA;
        theta21 = thetaB;
    }
    const float alpha1 = std::fmod(theta13 - theta12 + pi, twoPi) - pi;
    const float alpha2 = std::fmod(theta21 - theta23 + pi, twoPi) - pi;
    const float s1 = std::sin(alpha1), s2 = std::sin(alpha2);
    if (s1 == 0.0f && s2 == 0.0f) return false;
    if (s1 * s2 < 0.0f) return false;

    const float c1 = std::cos(alpha1), c2 = std::cos(alpha2);
    const float alpha3 = std::acos(clampUnit(s1 * s2 * std::cos(d12) - c1 * c2));
    const float d13 = std::atan2(std::sin(d12) * s1 * s2, c2 + c1 * std::cos(alpha3));
    // The circles meet twice; the meeting point must lie ahead of both starts and within a
    // quarter of the globe, or the tracks diverge and there is no useful intersection.
    const float d23 = std::atan2(std::sin(d12) * s1 * s2, c1 + c2 * std::cos(alpha3));
    const float quarter = static_cast<float>(kHalfPi);
    if (!(d13 >= 0.0f && d13 <= quarter && d23 >= 0.0f && d23 <= quarter)) return false;

    const float phi3 = std::asin(clampUnit(std::sin(phi1) * std::cos(d13) +
                                           std::cos(phi1) * std::sin(d13) * std::cos(theta13)));
    const float lambda3 = std::fmod(std::atan2(std::sin(theta13) * std::sin(d13) * std::cos(phi1),
                                               std::cos(d13) - std::sin(phi1) * std::sin(phi3)) +
                                        lambda1 + static_cast<float>(kThreePi),
                                    twoPi) -
                          pi;
    out.lon = lambda3 / rad;
    out.lat = phi3 / rad;
    return true;
}

double meanBearing(double a, double b) {
    if (std::fabs(a - b) > 180.0) b += 360.0;
    return 0.5 * a + 0.5 * b;
}

} // namespace navorel
