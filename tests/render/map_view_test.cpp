#include "render/map_view.h"

#include <gtest/gtest.h>

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
