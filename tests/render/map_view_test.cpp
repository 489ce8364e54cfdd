#include "render/map_view.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdint>
#include <vector>

using namespace navorel;

namespace {
MapView view(int w, int h) {
    MapView v;
    v.resize(w, h);
    return v;
}
} // namespace

TEST(MapView, ProjectionRoundTrip) {
    MapView v = view(1200, 800);
    for (double lat : {-70.0, -12.5, 0.0, 41.3, 80.0}) {
        for (double lon : {-179.0, -70.25, 0.0, 3.5, 179.5}) {
            double x, y, lo, la;
            v.project(lon, lat, x, y);
            v.unproject(x, y, lo, la);
            EXPECT_NEAR(lo, lon, 1e-9);
            EXPECT_NEAR(la, lat, 1e-9);
        }
    }
}

TEST(MapView, UpdateCorrections) {
    MapView v = view(1200, 800);
    v.scale = 100;
    v.transX = 18500;
    v.update();
    EXPECT_EQ(v.transX, -17500);
    // The top edge never goes north of the Mercator ordinate 180 degrees.
    v.transY = 200 * v.scale;
    v.update();
    EXPECT_EQ(v.transY, 180 * v.scale);
    EXPECT_NEAR(v.northLat, 85.0511, 1e-4);
}

TEST(MapView, ZoomLimitsAndCursorStays) {
    MapView v = view(1700, 900);
    v.scale = 12;
    for (int k = 0; k < 20; ++k) v.zoomAt(-120, 850, 450);
    EXPECT_DOUBLE_EQ(v.scale, 10.0); // 1700 / 170
    for (int k = 0; k < 100; ++k) v.zoomAt(120, 850, 450);
    EXPECT_DOUBLE_EQ(v.scale, 20000.0);

    MapView w = view(1200, 800);
    w.scale = 300;
    w.transX = 600 + 300 * 70;
    w.transY = 400 + 300 * mercatorDegrees(42);
    w.update();
    double lon0, lat0, lon1, lat1;
    w.unproject(333, 222, lon0, lat0);
    w.zoomAt(120, 333, 222);
    w.unproject(333, 222, lon1, lat1);
    EXPECT_NEAR(lon1, lon0, 1e-9);
    EXPECT_NEAR(lat1, lat0, 1e-9);
}

TEST(MapView, DateLineFlagsAndLevels) {
    MapView v = view(2000, 800);
    v.scale = 100;
    v.transX = -170 * 100; // west edge at 170, east at 190
    v.update();
    EXPECT_NEAR(v.westWrapped, 170, 1e-9);
    EXPECT_NEAR(v.eastWrapped, -170, 1e-9);
    EXPECT_TRUE(v.flagB);
    EXPECT_FALSE(v.flagC);
    EXPECT_EQ(v.level, 2);
    v.scale = 600;
    v.update();
    EXPECT_EQ(v.level, 4);
}

TEST(MapView, Frames) {
    MapView v = view(1200, 860);
    EXPECT_FALSE(v.frameRoute({-71, -70, 41, 42}, 1));
    ASSERT_TRUE(v.frameRoute({-71, -69, 41, 43}, 3));
    double x, y;
    v.project(-70, latitudeOfMercator((mercatorDegrees(41) + mercatorDegrees(43)) / 2), x, y);
    EXPECT_NEAR(x, 600, 1e-6);
    EXPECT_NEAR(y, 430 + 30, 1e-6);
    // A route of one repeated point frames at the largest scale instead of dividing by zero.
    ASSERT_TRUE(v.frameRoute({-70, -70, 42, 42}, 2));
    EXPECT_EQ(v.scale, 20000);
    EXPECT_FALSE(v.centreOn(-70, 42, false));
}

namespace {
// The 360-degree steps the view took before (and takes for a pan): the reference answer.
double steppedLongitude(double lon) {
    while (lon > 180) lon -= 360;
    while (lon < -180) lon += 360;
    return lon;
}
} // namespace

TEST(MapView, LongitudesWrapInConstantTimeAsTheStepsDid) {
    // Bit for bit the stepped answer: the edges, zeros reached from either side, and a spread
    // of ordinary values up to a few thousand turns.
    std::vector<double> values = {
        0.0,    -0.0,      180,     -180, 180.5, -180.5, 360,    -360,
        540,    -540,      720,     -720, 900,   -900,   1e-300, 359.99999999999994,
        -70.75, 1e6 + 0.1, -3601.25};
    std::uint64_t state = 12345;
    for (int k = 0; k < 20000; ++k) {
        state = state * 6364136223846793005ull + 1442695040888963407ull;
        const double unit = static_cast<double>(state >> 11) / 9007199254740992.0; // [0, 1)
        values.push_back((unit - 0.5) * (k % 2 ? 2e3 : 2e6));
    }
    for (double lon : values) {
        const double wrapped = wrapLongitude(lon), stepped = steppedLongitude(lon);
        EXPECT_EQ(std::bit_cast<std::uint64_t>(wrapped), std::bit_cast<std::uint64_t>(stepped))
            << std::hexfloat << lon << " gives " << wrapped << ", steps give " << stepped;
    }
    // Values the steps would take years over (or never leave) come back at once.
    EXPECT_EQ(wrapLongitude(1e15), std::fmod(1e15, 360.0) - 360); // 1e15 = 280 mod 360
    for (double lon : {1e13, -1e15, 1e300, -4.5e307}) {
        const double w = wrapLongitude(lon);
        EXPECT_TRUE(w >= -180 && w <= 180) << lon << " gives " << w;
    }
    EXPECT_TRUE(std::isnan(wrapLongitude(INFINITY)));
    EXPECT_TRUE(std::isnan(wrapLongitude(NAN)));
}

// A view read from a Config.ini of any values within the [Map] ranges, even far ones, is set
// up at once and shows the world's longitudes (TransX=1e15 used to step 360 degrees at a time
// for days).
TEST(MapView, FarTranslationsAreBroughtBackAtOnce) {
    for (double transX : {1e15, -1e15, 3.6e6, -3.6e6, 1e300}) {
        MapView v;
        v.scale = 100;
        v.transX = transX;
        v.resize(1280, 800);
        EXPECT_GT(v.transX, -180 * v.scale) << transX;
        EXPECT_LT(v.transX, 180 * v.scale) << transX;
        EXPECT_GE(v.westLon, -180.0) << transX;
        EXPECT_LE(v.westLon, 180.0) << transX;
        double lon, lat;
        v.unproject(640, 400, lon, lat);
        EXPECT_TRUE(lon >= -180 && lon <= 180) << transX;
    }
    // A pan past the edge still takes the one step it always took.
    MapView v = view(1200, 800);
    v.scale = 100;
    v.transX = 18000 + 0.25;
    v.update();
    EXPECT_EQ(v.transX, 18000.25 - 36000);
}
