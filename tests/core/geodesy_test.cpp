#include "core/geodesy.h"

#include <gtest/gtest.h>

#include <cmath>

using namespace navorel;

TEST(Geodesy, AngleHelpers) {
    EXPECT_EQ(normalise360(360), 360);
    EXPECT_EQ(normalise360(-0.5), 359.5);
    EXPECT_EQ(normalise360(725), 5);
    EXPECT_EQ(normalise180(190), -170);
    EXPECT_EQ(normalise180(-540), -180);
    EXPECT_EQ(foldAngle(350, 10), 20);
    EXPECT_EQ(foldAngle(10, 190), 180);
    EXPECT_EQ(meanBearing(350, 10), 360);
    EXPECT_EQ(meanBearing(20, 300), 340);
    // Absurd inputs end instead of looping for ever.
    EXPECT_TRUE(std::isnan(normalise360(NAN)));
    EXPECT_GE(normalise360(1e300), 0.0);
}

TEST(Geodesy, DistanceAndBearing) {
    const GeoPoint a{-4.5f, 48.4f};
    EXPECT_EQ(greatCircleDistance(a, a), 0.0);
    // One degree of longitude at the equator on a sphere of radius 6378137 m.
    EXPECT_NEAR(greatCircleDistance({0, 0}, {1, 0}), 6378137.0 * kDegToRad, 1e-3);
    EXPECT_NEAR(greatCircleBearing({0, 0}, {1, 0}), 90.0, 1e-9);
    EXPECT_NEAR(greatCircleBearing({0, 0}, {0, -1}), 180.0, 1e-9);
    EXPECT_NEAR(greatCircleBearing({179.5f, 0}, {-179.5f, 0}), 90.0, 1e-6);
    EXPECT_NEAR(greatCircleDistance({179.5f, 10}, {-179.5f, 10}),
                greatCircleDistance({-0.5f, 10}, {0.5f, 10}), 1e-3);
}

TEST(Geodesy, RhumbDestination) {
    // Due east keeps the latitude exactly and moves the longitude by delta / cos(phi).
    const GeoPoint p = rhumbDestination({10, 45}, 90, 100000);
    EXPECT_EQ(p.lat, 45.0f);
    const double delta = static_cast<float>(100000 / kEarthRadius);
    EXPECT_NEAR(p.lon, 10 + delta / std::cos(45 * kDegToRad) * kRadToDeg, 1e-4);
    // Across the 180 degree meridian.
    const GeoPoint q = rhumbDestination({179.9f, 0}, 90, 20000);
    EXPECT_NEAR(q.lon, -179.92, 0.01);
    // North then back south returns to the start.
    const GeoPoint n = rhumbDestination({-70, 42}, 0, 50000);
    const GeoPoint s = rhumbDestination(n, 180, 50000);
    EXPECT_NEAR(s.lat, 42, 1e-4);
    EXPECT_NEAR(s.lon, -70, 1e-6);
    // Past the pole: finite, stopping at the pole.
    const GeoPoint pole = rhumbDestination({0, 89.9f}, 10, 100000);
    EXPECT_TRUE(std::isfinite(pole.lon));
    EXPECT_LE(pole.lat, 90.0f);
}

TEST(Geodesy, RhumbBearingOrdersAroundACentre) {
    const GeoPoint c{0, 0};
    EXPECT_NEAR(rhumbBearing(c, {0, 1}), 0.0, 1e-12);
    EXPECT_NEAR(rhumbBearing(c, {1, 0}), kHalfPi, 1e-12);
    EXPECT_NEAR(rhumbBearing(c, {-1, 0}), -kHalfPi, 1e-12);
    // Across 180: the short way round.
    EXPECT_NEAR(rhumbBearing({179, 0}, {-179, 0}), kHalfPi, 1e-9);
    EXPECT_NEAR(mercatorLatitude(0), 0.0, 1e-15);
}

TEST(Geodesy, GreatCircleIntersection) {
    GeoPoint x;
    // Converging tracks meet ahead of both.
    ASSERT_TRUE(greatCircleIntersection({0, 0}, 45, {2, 0}, 315, x));
    EXPECT_NEAR(x.lon, 1.0, 1e-3);
    EXPECT_NEAR(x.lat, 1.0, 1e-2);
    // Parallel tracks from the same point: no unique intersection.
    EXPECT_FALSE(greatCircleIntersection({0, 0}, 90, {0, 0}, 90, x));
    // Diverging behind both starts: their circles meet on the far side of the globe.
    EXPECT_FALSE(greatCircleIntersection({0, 0}, 300, {1, 0}, 60, x));
    EXPECT_FALSE(greatCircleIntersection({0, 0}, 225, {2, 0}, 135, x));
}

TEST(Geodesy, PlanarSegmentCrossing) {
    EXPECT_TRUE(segmentsCross({0, 0}, {2, 2}, {0, 2}, {2, 0}));
    EXPECT_TRUE(segmentsCross({0, 0}, {1, 1}, {1, 1}, {2, 0}));  // touching end counts
    EXPECT_FALSE(segmentsCross({0, 0}, {1, 0}, {0, 1}, {1, 1})); // parallel
    EXPECT_FALSE(segmentsCross({0, 0}, {1, 0}, {2, 0}, {3, 0})); // collinear
    // Across 180: the short way round.
    EXPECT_TRUE(segmentsCross({179.5f, -1}, {-179.5f, 1}, {179.5f, 1}, {-179.5f, -1}));
}

// The fast distance test gives the plain comparison's answer for every pair, above all for
// pairs within rounding of the limit: second points walked in single-precision steps across
// the limit, and limits set to a pair's own distance and its neighbouring doubles.
TEST(Geodesy, DistanceBelowAgreesWithTheDistance) {
    const struct {
        GeoPoint from;
        double limit;
    } cases[] = {
        {{-40, 40}, 1800},  {{-4.5f, 48.4f}, 225}, {{179.99f, -30}, 2700}, {{0, 0}, 0.3},
        {{20, 89.99f}, 50}, {{100, -89.9f}, 400},  {{-60, 10}, 450000},    {{10, 45}, 0},
        {{10, 45}, 2.1e7},  {{10, 45}, NAN},
    };
    int below = 0, notBelow = 0;
    for (const auto& c : cases) {
        const DistanceBelow closer(c.limit);
        const SpherePoint a = spherePoint(c.from);
        for (double bearing = 3; bearing < 360; bearing += 29) {
            GeoPoint b = rhumbDestination(c.from, bearing, std::isfinite(c.limit) ? c.limit : 100);
            const float towards = std::cos(bearing * kDegToRad) >= 0 ? -1e30f : 1e30f;
            for (int k = -40; k < 40; ++k) {
                GeoPoint q = b;
                for (int s = 0; s < std::abs(k); ++s)
                    q.lat = std::nextafter(q.lat, k < 0 ? towards : -towards);
                const bool plain = greatCircleDistance(c.from, q) < c.limit;
                EXPECT_EQ(closer(a, spherePoint(q)), plain)
                    << c.from.lon << " " << c.from.lat << " limit " << c.limit << " bearing "
                    << bearing << " step " << k;
                ++(plain ? below : notBelow);
            }
        }
        // Limits at and next to the distance of a pair, down to the last digit.
        if (std::isfinite(c.limit) && c.limit > 0 && c.limit < 1e7)
            for (double bearing = 11; bearing < 360; bearing += 37) {
                const GeoPoint q = rhumbDestination(c.from, bearing, c.limit);
                const SpherePoint b = spherePoint(q);
                const double d = greatCircleDistance(c.from, q);
                for (double limit : {d, std::nextafter(d, 0.0), std::nextafter(d, 1e300),
                                     d * (1 - 1e-14), d * (1 + 1e-14), d * (1 - 1e-11),
                                     d * (1 + 1e-11), d * (1 - 1e-8), d * (1 + 1e-8)}) {
                    const bool plain = greatCircleDistance(c.from, q) < limit;
                    EXPECT_EQ(DistanceBelow(limit)(a, b), plain)
                        << c.from.lon << " " << c.from.lat << " limit " << limit;
                    ++(plain ? below : notBelow);
                }
            }
        EXPECT_EQ(closer(a, a), greatCircleDistance(c.from, c.from) < c.limit);
        const SpherePoint lost = spherePoint({NAN, 10});
        EXPECT_FALSE(closer(a, lost));
    }
    EXPECT_GT(below, 500);
    EXPECT_GT(notBelow, 500);
}
