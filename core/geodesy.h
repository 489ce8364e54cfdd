#pragma once
// Spherical-earth geodesy and the navigation unit constants of the routing. Degrees at the
// boundary, radians inside; single-precision positions with double-precision trigonometry.

namespace navorel {

constexpr double kDegToRad = 0.017453292519943295;
constexpr double kRadToDeg = 57.29577951308232;
constexpr double kEarthRadius = 6378137.0;                // metres
constexpr double kKnotToMs = 0.5145694444444444;          // one knot = 1852.45 m per hour
constexpr double kMsToKnot = 1.9433722907500877;          // reciprocal of the line above
constexpr double kKnotPercentToMs = 0.005145694329429211; // knots x percent -> m/s
constexpr double kPi = 3.141592653589793;
constexpr double kHalfPi = 1.5707963267948966;
constexpr double kQuarterPi = 0.7853981633974483;
constexpr double kTwoPi = 6.283185307179586;
constexpr double kThreePi = 9.42477796076938;
constexpr double kMetresPerNauticalMile = 1852.0; // displayed distances only

// A position: longitude then latitude, degrees, east and north positive.
struct GeoPoint {
    float lon = 0.0f;
    float lat = 0.0f;
};

// 0..360 inclusive: 360 stays 360.
double normalise360(double a);
// -180..180.
double normalise180(double lon);
// The angle between two directions, 0..180.
double foldAngle(double a, double b);

// Initial great-circle bearing from one position to another, degrees 0..360.
double greatCircleBearing(GeoPoint from, GeoPoint to);
// Great-circle distance in metres (spherical law of cosines).
double greatCircleDistance(GeoPoint a, GeoPoint b);
// The cosine of the central angle of which greatCircleDistance takes the arc cosine, from the
// sines and cosines of the two latitudes and the longitude difference (radians).
double greatCircleCosine(double sinPhi1, double cosPhi1, double sinPhi2, double cosPhi2,
                         double dLambda);

// A position with the sine and cosine of its latitude: the part of the distances and bearings
// below that depends on one end alone, computed once for an end used many times. Distances
// and bearings between such positions have exactly the digits of the plain forms.
struct TrigPoint {
    GeoPoint at;
    double sinPhi = 0, cosPhi = 0;
};
TrigPoint trigPoint(GeoPoint p);
// greatCircleDistance and greatCircleBearing of such positions.
double trigDistance(const TrigPoint& a, const TrigPoint& b);
double trigBearing(const TrigPoint& from, const TrigPoint& to);

// A position with what repeated distance tests from it need: the sine and cosine of its
// latitude and its unit vector (x towards 0 E on the equator, z towards the north pole).
struct SpherePoint {
    GeoPoint at;
    double sinPhi = 0, cosPhi = 0;
    double x = 0, y = 0, z = 0;
};
SpherePoint spherePoint(GeoPoint p);
// The same from a position whose latitude's sine and cosine are known.
SpherePoint spherePointFrom(const TrigPoint& p);

// Answers greatCircleDistance(a, b) < limit exactly as that comparison does, for many pairs:
// most pairs are decided from the dot product of their unit vectors, those whose cosine lies
// within a hair of the limit's from the latitudes' sines and cosines, and only those within
// rounding of the limit take the arc cosine itself.
class DistanceBelow {
  public:
    explicit DistanceBelow(double limit);
    bool operator()(const SpherePoint& a, const SpherePoint& b) const {
        const double dot = a.x * b.x + a.y * b.y + a.z * b.z;
        if (dot > dotAbove_) return true;
        if (dot < dotBelow_) return false;
        return exact(a, b);
    }

  private:
    bool exact(const SpherePoint& a, const SpherePoint& b) const;
    double limit_;
    // Cosines of the central angle above which the distance is surely below the limit, and
    // below which it surely is not, each with a margin far above the rounding of either form.
    double dotAbove_, dotBelow_, cosAbove_, cosBelow_;
};
// The position reached along a rhumb line of the given bearing (degrees) and length (metres).
GeoPoint rhumbDestination(GeoPoint from, double bearing, double distance);
// The start of rhumb moves with its latitude's Mercator term, shared by every move of a fan
// of headings from it; the moves have exactly the digits of the plain form.
struct RhumbStart {
    GeoPoint at;
    double phi = 0;     // latitude, radians
    double tanTerm = 0; // tan(phi / 2 + pi / 4)
};
RhumbStart rhumbStart(GeoPoint from);
// rhumbDestination from such a start.
GeoPoint rhumbMove(const RhumbStart& from, double bearing, double distance);
// Rhumb-line bearing from origin to p in radians, -pi..pi, zero north, positive east.
double rhumbBearing(GeoPoint origin, GeoPoint p);
// ln(tan(pi/4 + phi/2)), phi in radians.
double mercatorLatitude(double phiRadians);
// Where the great circle leaving p1 on bearing1 meets the one leaving p2 on bearing2
// (degrees). False when there is no unique intersection ahead of both starts within a
// quarter of the globe.
bool greatCircleIntersection(GeoPoint p1, double bearing1, GeoPoint p2, double bearing2,
                             GeoPoint& out);
// The mean of two bearings across north, not normalised: (350, 10) gives 360.
double meanBearing(double a, double b);
// Planar crossing of segments P->Q and A->B in degrees, ends included; longitude
// differences are taken the short way round the 180 degree meridian. When they cross, `t` is
// the fraction of P->Q where they do and (sx, sy) the step P->Q in degrees.
inline bool planarCrossingAt(GeoPoint p, GeoPoint q, GeoPoint a, GeoPoint b, double& t, double& sx,
                             double& sy) {
    auto wrap = [](double d) {
        if (d > 180.0) return d - 360.0;
        if (d < -180.0) return d + 360.0;
        return d;
    };
    sx = wrap(static_cast<double>(q.lon) - p.lon);
    sy = static_cast<double>(q.lat) - p.lat;
    const double ex = wrap(static_cast<double>(b.lon) - a.lon),
                 ey = static_cast<double>(b.lat) - a.lat;
    const double wx = wrap(static_cast<double>(p.lon) - a.lon),
                 wy = static_cast<double>(p.lat) - a.lat;
    const double d = sx * ey - ex * sy;
    if (d == 0.0) return false;
    // Most segments are missed along P->Q already: u is not needed for them.
    t = (ex * wy - wx * ey) / d;
    if (!(t >= 0.0 && t <= 1.0)) return false;
    const double u = (sx * wy - wx * sy) / d;
    return u >= 0.0 && u <= 1.0;
}
// The same, answering only whether they cross. Inline: the cleaning of a front calls it for
// every segment near a sight line.
inline bool segmentsCross(GeoPoint p, GeoPoint q, GeoPoint a, GeoPoint b) {
    double t, sx, sy;
    return planarCrossingAt(p, q, a, b, t, sx, sy);
}

} // namespace navorel
