#include "routing/user_route.h"

#include <algorithm>
#include <cmath>

namespace navorel {

namespace {

// The point halfway along the great circle from a to b.
GeoPoint greatCircleMidpoint(GeoPoint a, GeoPoint b) {
    const double phi1 = a.lat * kDegToRad, phi2 = b.lat * kDegToRad;
    const double dLambda = (static_cast<double>(b.lon) - a.lon) * kDegToRad;
    const double bx = std::cos(phi2) * std::cos(dLambda);
    const double by = std::cos(phi2) * std::sin(dLambda);
    const double phi =
        std::atan2(std::sin(phi1) + std::sin(phi2),
                   std::sqrt((std::cos(phi1) + bx) * (std::cos(phi1) + bx) + by * by));
    const double lambda = a.lon * kDegToRad + std::atan2(by, std::cos(phi1) + bx);
    return GeoPoint{static_cast<float>(normalise180(lambda * kRadToDeg)),
                    static_cast<float>(phi * kRadToDeg)};
}

// The outline of the leg's ellipse for drawing: along 64 rays from its centre, the first
// point, in steps of a thousandth of the leg, whose distances to the two foci add up to the
// leg's length. The march starts a little inside the minor semi-axis, where no outline point
// can lie, and gives up at the far side of the circle through the waypoints (step 1100). The
// sum of the distances grows along a ray from the centre, so the first step that reaches
// the length is found by halving the range of steps instead of walking it.
std::vector<GeoPoint> ellipseOutlineOf(GeoPoint a, GeoPoint b, GeoPoint fA, GeoPoint fB, double L,
                                       double ratio) {
    std::vector<GeoPoint> outline;
    const GeoPoint centre = greatCircleMidpoint(a, b);
    const double axis = greatCircleBearing(centre, b);
    const double step = L / 1000.0;
    const double start = 0.9 * ratio * L / 2.0;
    constexpr int kRays = 64; // 0.09817477 rad apart
    constexpr int kLastStep = 1100;
    outline.reserve(kRays + 1);
    for (int k = 0; k < kRays; ++k) {
        const double bearing = axis + k * (360.0 / kRays);
        auto at = [&](int m) { return rhumbDestination(centre, bearing, start + m * step); };
        auto outside = [&](int m) {
            const GeoPoint p = at(m);
            return greatCircleDistance(p, fA) + greatCircleDistance(p, fB) >= L;
        };
        // The first step outside, or the last step when none is.
        int lo = 0, hi = kLastStep;
        if (!outside(hi)) {
            lo = hi;
        } else {
            while (lo < hi) {
                const int mid = lo + (hi - lo) / 2;
                if (outside(mid))
                    hi = mid;
                else
                    lo = mid + 1;
            }
        }
        outline.push_back(at(lo));
    }
    outline.push_back(outline.front());
    return outline;
}

void clearDerived(UserRoute& r) {
    r.legLength.clear();
    r.legBearing.clear();
    r.backBearing.clear();
    r.focusA.clear();
    r.focusB.clear();
    r.focusInset.clear();
    r.outlineCache.clear();
    r.ellipseRatio = 0;
    r.legPolyline.clear();
    r.onLand.clear();
    r.totalLength = 0;
    r.onLandCount = 0;
    r.zeroLengthLegs = 0;
    r.shortestLeg = r.longestLeg = 0;
    r.shortestLegIndex = r.longestLegIndex = -1;
}

} // namespace

const std::vector<GeoPoint>& ellipseOutline(const UserRoute& r, std::size_t leg) {
    static const std::vector<GeoPoint> none;
    if (leg >= r.legLength.size() || leg + 1 >= r.waypoints.size() || leg >= r.focusA.size() ||
        leg >= r.focusB.size() || !(r.legLength[leg] > 0.0f))
        return none;
    if (r.outlineCache.size() != r.legLength.size()) r.outlineCache.assign(r.legLength.size(), {});
    std::vector<GeoPoint>& outline = r.outlineCache[leg];
    if (outline.empty())
        outline = ellipseOutlineOf(r.waypoints[leg], r.waypoints[leg + 1], r.focusA[leg],
                                   r.focusB[leg], r.legLength[leg], r.ellipseRatio);
    return outline;
}

void recompute(UserRoute& r, const RoutingParameters& params, const CrossingTests* landTests) {
    clearDerived(r);
    const std::size_t n = r.waypoints.size();
    if (n >= 2) {
        const double seg = params.straitSegment * 1852.0;
        // The minor-to-major axis ratio in percent; beyond a circle the foci would be imaginary.
        const double E = std::clamp(static_cast<double>(params.excentricity), 0.0, 100.0);
        r.ellipseRatio = E / 100.0;
        for (std::size_t i = 0; i + 1 < n; ++i) {
            const GeoPoint a = r.waypoints[i], b = r.waypoints[i + 1];
            const float L = static_cast<float>(greatCircleDistance(a, b));
            r.legLength.push_back(L);
            r.totalLength += L;

            std::vector<GeoPoint> poly{a};
            if (seg > 0.0 && seg < L) {
                const int pieces = static_cast<int>(L / seg);
                const double piece = L / pieces;
                GeoPoint cur = a;
                for (int k = 1; k < pieces; ++k) {
                    cur = rhumbDestination(cur, greatCircleBearing(cur, b), piece);
                    poly.push_back(cur);
                }
            }
            poly.push_back(b);
            r.legPolyline.push_back(std::move(poly));

            const double half = L / 2.0;
            const double minor = L * E / 200.0;
            const double d = half - std::sqrt(std::max(0.0, half * half - minor * minor));
            r.focusInset.push_back(static_cast<float>(d));
            const double bearing = greatCircleBearing(a, b);
            const double back = greatCircleBearing(b, a);
            r.legBearing.push_back(static_cast<float>(bearing));
            r.backBearing.push_back(static_cast<float>(back));
            const GeoPoint fA = rhumbDestination(a, static_cast<float>(bearing), d);
            const GeoPoint fB = rhumbDestination(b, static_cast<float>(back), d);
            r.focusA.push_back(fA);
            r.focusB.push_back(fB);
            // Coincident waypoints: no direction and nothing to march along.
            if (!(L > 0.0f)) ++r.zeroLengthLegs;
        }
        r.shortestLeg = r.longestLeg = r.legLength[0];
        r.shortestLegIndex = r.longestLegIndex = 0;
        for (std::size_t i = 1; i < r.legLength.size(); ++i) {
            if (r.legLength[i] < r.shortestLeg) {
                r.shortestLeg = r.legLength[i];
                r.shortestLegIndex = static_cast<int>(i);
            }
            if (r.legLength[i] > r.longestLeg) {
                r.longestLeg = r.legLength[i];
                r.longestLegIndex = static_cast<int>(i);
            }
        }
    }
    r.onLand.assign(n, false);
    if (landTests) {
        for (std::size_t i = 0; i < n; ++i) {
            if (landTests->pointOnLand(r.waypoints[i])) {
                r.onLand[i] = true;
                ++r.onLandCount;
            }
        }
    }
    if (r.hoveredPoint >= static_cast<int>(n)) r.hoveredPoint = -1;
    if (r.hoveredLeg >= static_cast<int>(r.legLength.size())) r.hoveredLeg = -1;
}

void setFromBoat(UserRoute& r, bool on, GeoPoint boat, const RoutingParameters& params,
                 const CrossingTests* landTests) {
    if (r.waypoints.empty()) return;
    if (on) {
        r.savedFirst = r.waypoints[0];
        r.waypoints[0] = boat;
    } else {
        r.waypoints[0] = r.savedFirst;
    }
    recompute(r, params, landTests);
}

void projectToScreen(const ChartProjection& v, GeoPoint p, double& x, double& y) {
    double lon = p.lon;
    if (lon < v.westLon && lon + 360.0 <= v.eastLon)
        lon += 360.0;
    else if (lon > v.eastLon && lon - 360.0 >= v.westLon)
        lon -= 360.0;
    x = v.scale * lon + v.transX;
    y = v.transY + v.scale * kRadToDeg * std::log(std::tan(kQuarterPi - p.lat * kPi / 360.0));
}

GeoPoint unprojectFromScreen(const ChartProjection& v, double x, double y) {
    const double lon = normalise180((x - v.transX) / v.scale);
    const double lat =
        (2.0 * std::atan(std::exp((v.transY - y) / v.scale * kDegToRad)) - kHalfPi) * kRadToDeg;
    return GeoPoint{static_cast<float>(lon), static_cast<float>(lat)};
}

int hitPoint(UserRoute& r, double mx, double my, const ChartProjection& view, float thickness) {
    const double reach = thickness + 3.0;
    r.hoveredPoint = -1;
    for (std::size_t i = 0; i < r.waypoints.size(); ++i) {
        double x, y;
        projectToScreen(view, r.waypoints[i], x, y);
        if (std::fabs(x - mx) < reach && std::fabs(y - my) < reach) {
            r.hoveredPoint = static_cast<int>(i);
            break;
        }
    }
    return r.hoveredPoint;
}

bool hitLeg(UserRoute& r, double mx, double my, const ChartProjection& view) {
    r.hoveredLeg = -1;
    for (std::size_t leg = 0; leg < r.legPolyline.size() && leg + 1 < r.waypoints.size(); ++leg) {
        const std::vector<GeoPoint>& poly = r.legPolyline[leg];
        if (poly.size() < 2) continue;
        double x1, y1;
        projectToScreen(view, poly[0], x1, y1);
        for (std::size_t k = 1; k < poly.size(); ++k) {
            double x2, y2;
            projectToScreen(view, poly[k], x2, y2);
            const double len2 = (y2 - y1) * (y2 - y1) + (x2 - x1) * (x2 - x1);
            if (len2 > 0.0) {
                const double e = ((my - y1) * (y2 - y1) + (mx - x1) * (x2 - x1)) / len2;
                if (e > 0.0 && e < 1.0) {
                    const double px = x1 + e * (x2 - x1), py = y1 + e * (y2 - y1);
                    if ((px - mx) * (px - mx) + (py - my) * (py - my) < 25.0) {
                        r.hoveredLeg = static_cast<int>(leg);
                        const GeoPoint at = unprojectFromScreen(view, px, py);
                        r.hoveredLegBearing = static_cast<float>(
                            normalise360(greatCircleBearing(at, r.waypoints[leg + 1])));
                        return true;
                    }
                }
            }
            x1 = x2;
            y1 = y2;
        }
    }
    return false;
}

namespace {

bool validIndex(const UserRoute& r, int h) {
    return h >= 0 && h < static_cast<int>(r.waypoints.size());
}

} // namespace

void deletePoint(UserRoute& r, int h, const RoutingParameters& params, const CrossingTests* land) {
    if (!validIndex(r, h)) return;
    r.waypoints.erase(r.waypoints.begin() + h);
    recompute(r, params, land);
}

void deletePointsBefore(UserRoute& r, int h, const RoutingParameters& params,
                        const CrossingTests* land) {
    if (!validIndex(r, h)) return;
    r.waypoints.erase(r.waypoints.begin(), r.waypoints.begin() + h);
    r.hoveredPoint = -1;
    recompute(r, params, land);
}

void deletePointsAfter(UserRoute& r, int h, const RoutingParameters& params,
                       const CrossingTests* land) {
    if (!validIndex(r, h)) return;
    r.waypoints.erase(r.waypoints.begin() + h + 1, r.waypoints.end());
    recompute(r, params, land);
}

void removeRoute(UserRoute& r, const RoutingParameters& params, const CrossingTests* land) {
    r.waypoints.clear();
    recompute(r, params, land);
}

void reverseRoute(UserRoute& r, const RoutingParameters& params, const CrossingTests* land) {
    std::reverse(r.waypoints.begin(), r.waypoints.end());
    recompute(r, params, land);
}

} // namespace navorel
