#include "routing/user_route.h"

#include "routing_fixtures.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace navorel;
using namespace navorel::test;

namespace {

// The point `metres` east of (0, 0) along the equator.
GeoPoint eastOfOrigin(double metres) {
    return GeoPoint{static_cast<float>(metres / kEarthRadius * kRadToDeg), 0.0f};
}

UserRoute routeOf(std::initializer_list<GeoPoint> points, const RoutingParameters& params = {},
                  const CrossingTests* land = nullptr) {
    UserRoute r;
    r.waypoints = points;
    recompute(r, params, land);
    return r;
}

} // namespace

TEST(UserRoute, LegPolylineFollowsTheGreatCircleInPieces) {
    RoutingParameters params; // StraitSegment 60 nm
    const GeoPoint a{-5, 40}, b{-5, 40 + static_cast<float>(150 * 1852 / kEarthRadius * kRadToDeg)};
    const UserRoute r = routeOf({a, b}, params);
    ASSERT_EQ(r.legPolyline.size(), 1u);
    ASSERT_EQ(r.legPolyline[0].size(), 3u); // 150 nm: two pieces of 75
    EXPECT_NEAR(greatCircleDistance(a, r.legPolyline[0][1]), 75 * 1852, 2.0);
    EXPECT_EQ(r.legPolyline[0].front().lat, a.lat);
    EXPECT_EQ(r.legPolyline[0].back().lat, b.lat);

    // Exactly one segment long: no intermediate point.
    const UserRoute s = routeOf({GeoPoint{0, 0}, eastOfOrigin(60 * 1852)}, params);
    EXPECT_EQ(s.legPolyline[0].size(), 2u);
    // A far leg on a high latitude bends north of the rhumb line.
    const UserRoute t = routeOf({GeoPoint{-40, 50}, GeoPoint{0, 50}}, params);
    ASSERT_GT(t.legPolyline[0].size(), 20u);
    EXPECT_GT(t.legPolyline[0][t.legPolyline[0].size() / 2].lat, 51.5f); // vertex 51.7
    // No subdivision at all when StraitSegment is not positive.
    params.straitSegment = 0;
    EXPECT_EQ(routeOf({GeoPoint{-40, 50}, GeoPoint{0, 50}}, params).legPolyline[0].size(), 2u);
}

TEST(UserRoute, EllipseFoci) {
    RoutingParameters params;
    params.excentricity = 75;
    const GeoPoint a{0, 0}, b = eastOfOrigin(100000);
    UserRoute r = routeOf({a, b}, params);
    ASSERT_EQ(r.focusInset.size(), 1u);
    EXPECT_NEAR(r.focusInset[0], 50000 - std::sqrt(50000.0 * 50000 - 37500.0 * 37500), 1.0);
    EXPECT_NEAR(r.focusInset[0], 16928, 1.0);
    EXPECT_NEAR(greatCircleDistance(a, r.focusA[0]), r.focusInset[0], 0.5);
    EXPECT_NEAR(greatCircleDistance(b, r.focusB[0]), r.focusInset[0], 0.5);
    EXPECT_NEAR(r.legBearing[0], 90, 1e-4);
    EXPECT_NEAR(r.backBearing[0], 270, 1e-4);
    // Outlines are made when first drawn, not by every recompute of a long route.
    EXPECT_TRUE(r.outlineCache.empty());
    // The outline closes on itself and lies on the ellipse.
    const auto& outline = ellipseOutline(r, 0);
    ASSERT_GT(outline.size(), 60u);
    EXPECT_EQ(outline.front().lon, outline.back().lon);
    for (const GeoPoint& p : outline) {
        const double sum =
            greatCircleDistance(p, r.focusA[0]) + greatCircleDistance(p, r.focusB[0]);
        EXPECT_GE(sum, r.legLength[0] - 1);
        EXPECT_LT(sum, r.legLength[0] + 250);
    }

    // 100 %: both foci in the middle, a circle on the leg.
    params.excentricity = 100;
    r = routeOf({a, b}, params);
    EXPECT_NEAR(r.focusInset[0], 50000, 1.0);
    EXPECT_NEAR(greatCircleDistance(r.focusA[0], r.focusB[0]), 0, 2.0);
    // Beyond a circle the foci stay in the middle instead of becoming NaN.
    params.excentricity = 150;
    r = routeOf({a, b}, params);
    EXPECT_NEAR(r.focusInset[0], 50000, 1.0);
}

TEST(UserRoute, LegLengthsAndExtremes) {
    const GeoPoint a{0, 0}, b = eastOfOrigin(20000), c = eastOfOrigin(-50000);
    const UserRoute r = routeOf({a, b, a, c, a});
    ASSERT_EQ(r.legLength.size(), 4u);
    EXPECT_NEAR(r.totalLength, 140000, 2.0);
    EXPECT_EQ(r.shortestLegIndex, 0); // 20 km twice: the first one
    EXPECT_EQ(r.longestLegIndex, 2);  // 50 km twice: the first one
    EXPECT_NEAR(r.longestLeg, 50000, 1.0);

    const UserRoute one = routeOf({GeoPoint{3, 4}});
    EXPECT_TRUE(one.legLength.empty());
    EXPECT_EQ(one.longestLegIndex, -1);
    EXPECT_EQ(one.totalLength, 0.0f);
}

TEST(UserRoute, CoincidentWaypointsGiveALegWithoutGeometry) {
    const UserRoute r = routeOf({GeoPoint{1, 1}, GeoPoint{1, 1}, GeoPoint{2, 1}});
    ASSERT_EQ(r.legLength.size(), 2u);
    EXPECT_EQ(r.legLength[0], 0.0f);
    EXPECT_EQ(r.zeroLengthLegs, 1);
    EXPECT_TRUE(ellipseOutline(r, 0).empty());
    EXPECT_FALSE(ellipseOutline(r, 1).empty());
    EXPECT_EQ(r.legPolyline[0].size(), 2u);
    EXPECT_FALSE(std::isnan(r.focusA[0].lon));
    EXPECT_EQ(r.shortestLegIndex, 0);
}

TEST(UserRoute, WaypointsOnLand) {
    SyntheticCoast coast;
    coast.islands.push_back({{0.5f, 0.5f}, {1.5f, 1.5f}});
    const UserRoute r =
        routeOf({GeoPoint{0, 0}, GeoPoint{1, 1}, GeoPoint{1.2f, 1.4f}, GeoPoint{3, 3}}, {}, &coast);
    EXPECT_EQ(r.onLandCount, 2);
    EXPECT_EQ(r.onLand, (std::vector<bool>{false, true, true, false}));
    EXPECT_EQ(routeOf({GeoPoint{1, 1}, GeoPoint{0, 0}}).onLandCount, 0); // no land tests
}

TEST(UserRoute, StartFromTheBoatAndBack) {
    RoutingParameters params;
    UserRoute r = routeOf({GeoPoint{-4.123456f, 47.654321f}, GeoPoint{-3, 47}});
    const GeoPoint first = r.waypoints[0];
    setFromBoat(r, true, GeoPoint{-5, 48}, params, nullptr);
    EXPECT_EQ(r.waypoints[0].lon, -5.0f);
    EXPECT_NEAR(r.legLength[0], greatCircleDistance({-5, 48}, {-3, 47}), 0.01);
    setFromBoat(r, false, GeoPoint{-5, 48}, params, nullptr);
    EXPECT_EQ(r.waypoints[0].lon, first.lon);
    EXPECT_EQ(r.waypoints[0].lat, first.lat);
    UserRoute empty;
    setFromBoat(empty, true, GeoPoint{1, 1}, params, nullptr);
    EXPECT_TRUE(empty.waypoints.empty());
}

TEST(UserRoute, HitTests) {
    ChartProjection view; // 100 px per degree, x of 0 at 700, y of the equator at 5200
    UserRoute r = routeOf({GeoPoint{0, 0}, GeoPoint{1, 0}, GeoPoint{1, 1}});
    double x, y;
    projectToScreen(view, GeoPoint{1, 0}, x, y);
    EXPECT_DOUBLE_EQ(x, 800);
    EXPECT_NEAR(y, 5200, 1e-9);
    const GeoPoint back = unprojectFromScreen(view, 800, 5100);
    EXPECT_NEAR(back.lon, 1, 1e-6);
    EXPECT_NEAR(back.lat, 0.99985, 1e-4); // one Mercator degree

    EXPECT_EQ(hitPoint(r, 807.9, 5192.1, view, 5), 1); // within 8 px in x and y
    EXPECT_EQ(r.hoveredPoint, 1);
    EXPECT_EQ(hitPoint(r, 808, 5200, view, 5), -1); // strict
    EXPECT_EQ(r.hoveredPoint, -1);

    EXPECT_TRUE(hitLeg(r, 750, 5204, view)); // 4 px below the first leg's middle
    EXPECT_EQ(r.hoveredLeg, 0);
    EXPECT_NEAR(r.hoveredLegBearing, 90, 0.01);
    EXPECT_FALSE(hitLeg(r, 750, 5206, view)); // 6 px off
    EXPECT_EQ(r.hoveredLeg, -1);
    EXPECT_FALSE(hitLeg(r, 699, 5200, view)); // beyond the leg's end
    EXPECT_TRUE(hitLeg(r, 801, 5150, view));
    EXPECT_EQ(r.hoveredLeg, 1);
    EXPECT_NEAR(foldAngle(r.hoveredLegBearing, 0), 0, 0.01);

    // Across the 180 degree meridian: a view from 170 E to 190 E shows -179 at 181.
    ChartProjection pacific;
    pacific.scale = 100;
    pacific.transX = -17000;
    pacific.westLon = 170;
    pacific.eastLon = 190;
    projectToScreen(pacific, GeoPoint{-179, 0}, x, y);
    EXPECT_NEAR(x, 1100, 1e-9);
}

TEST(UserRoute, Edits) {
    RoutingParameters params;
    const GeoPoint p0{0, 0}, p1{1, 0}, p2{2, 0}, p3{3, 0};
    UserRoute r = routeOf({p0, p1, p2, p3});
    deletePoint(r, 1, params, nullptr);
    ASSERT_EQ(r.waypoints.size(), 3u);
    EXPECT_EQ(r.waypoints[1].lon, 2.0f);
    EXPECT_EQ(r.legLength.size(), 2u);

    r = routeOf({p0, p1, p2, p3});
    r.hoveredPoint = 2;
    deletePointsBefore(r, 2, params, nullptr);
    ASSERT_EQ(r.waypoints.size(), 2u);
    EXPECT_EQ(r.waypoints[0].lon, 2.0f);
    EXPECT_EQ(r.hoveredPoint, -1);

    r = routeOf({p0, p1, p2, p3});
    deletePointsAfter(r, 1, params, nullptr);
    ASSERT_EQ(r.waypoints.size(), 2u);
    EXPECT_EQ(r.waypoints[1].lon, 1.0f);
    EXPECT_EQ(r.legLength.size(), 1u);

    r = routeOf({p0, p1, p2});
    reverseRoute(r, params, nullptr);
    EXPECT_EQ(r.waypoints[0].lon, 2.0f);
    EXPECT_NEAR(r.legBearing[0], 270, 1e-4);

    // Out of range or on an empty route: nothing.
    deletePoint(r, 3, params, nullptr);
    deletePointsBefore(r, -1, params, nullptr);
    EXPECT_EQ(r.waypoints.size(), 3u);
    removeRoute(r, params, nullptr);
    EXPECT_TRUE(r.waypoints.empty());
    EXPECT_TRUE(r.legLength.empty());
    deletePoint(r, 0, params, nullptr);
    deletePointsAfter(r, 0, params, nullptr);
    EXPECT_TRUE(r.waypoints.empty());
}
