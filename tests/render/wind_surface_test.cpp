#include "render/wind_surface.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>

#include "core/geodesy.h"
#include "routing/routing_parameters.h"
#include "tests/weather/wind_test_support.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

using namespace navorel;
using namespace navorel::windtest;

namespace {

// Ten scale colours 5 kt apart, 26 per-knot colours and a sea colour, all told apart by red.
const WindColorRamp& testRamp() {
    static const WindColorRamp r = [] {
        WindColorRamp ramp;
        ramp.interval = 5;
        for (int i = 0; i < 10; ++i) ramp.scale.push_back({static_cast<std::uint8_t>(i), 10, 0});
        for (int i = 0; i < 26; ++i) ramp.ramp.push_back({static_cast<std::uint8_t>(i), 20, 0});
        ramp.sea = {200, 200, 250};
        return ramp;
    }();
    return r;
}

SurfaceColoring coloring(double variation = 100, bool perKnot = false) {
    return SurfaceColoring{&testRamp(), variation, perKnot};
}

std::uint32_t scaleColor(int i) {
    return premultipliedArgb(testRamp().scale[static_cast<std::size_t>(i)]);
}
std::uint32_t knotColor(int i) {
    return premultipliedArgb(testRamp().ramp[static_cast<std::size_t>(i)]);
}
std::uint32_t seaColor() {
    return premultipliedArgb(testRamp().sea);
}

// A view W x H whose top-left pixel is at (lonLeft, latTop), `scale` pixels per degree.
MapView viewAt(int w, int h, double lonLeft, double latTop, double scale) {
    MapView v;
    v.resize(w, h);
    v.scale = scale;
    v.transX = -scale * lonLeft;
    v.transY = scale * mercatorDegrees(latTop);
    v.update();
    return v;
}

// A one-frame store of nx x ny points one degree apart from (lon1, lat1), every point with
// air moving east at `ms` m/s; `missing` (an index, or -1) lacks its u value.
WindStore uniformStore(int nx, int ny, float lon1, float lat1, float ms, int missing = -1,
                       float step = 1) {
    std::vector<float> u(static_cast<std::size_t>(nx * ny), ms), v(u.size(), 0.0f);
    if (missing >= 0) u[static_cast<std::size_t>(missing)] = kGribMissing;
    WindStore store;
    EXPECT_EQ(store.loadRecords({windRecord(true, 0, 0, nx, ny, lon1, lat1, step, u),
                                 windRecord(false, 0, 0, nx, ny, lon1, lat1, step, v)},
                                buildRamp(builtinWindScale(), kDefaultSeaColor)),
              GribLoadStatus::Ok);
    return store;
}

// A wind field of one speed everywhere, or nowhere.
struct FixedField : WindField {
    bool found = true;
    float knots = 0;
    WindSample windAt(float, float, double) const override { return {found, 270.0f, knots}; }
};

const WindStore& demo() {
    static const WindStore store = [] {
        WindStore s;
        EXPECT_EQ(s.loadGrib(std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb",
                             buildRamp(builtinWindScale(), kDefaultSeaColor)),
                  GribLoadStatus::Ok);
        return s;
    }();
    return store;
}

int count(const SurfaceBitmap& b, std::uint32_t argb) {
    int n = 0;
    for (std::uint32_t p : b.pixels) n += p == argb;
    return n;
}

} // namespace

TEST(WindSurfaceColor, IndexOfSpeed) {
    const SurfaceColoring c = coloring();
    EXPECT_EQ(surfaceColor(c, true, 25, false), scaleColor(5));
    EXPECT_EQ(surfaceColor(c, true, 24.99, false), scaleColor(4));
    EXPECT_EQ(surfaceColor(c, true, 70, false), scaleColor(9));
    EXPECT_EQ(surfaceColor(c, true, 12.7, true), knotColor(12));
    EXPECT_EQ(surfaceColor(c, true, 40, true), knotColor(25));
    // Variation 50: 20 kt is coloured as 10 kt.
    EXPECT_EQ(surfaceColor(coloring(50), true, 20, false), scaleColor(2));
    EXPECT_EQ(surfaceColor(c, false, 25, false), seaColor());
    EXPECT_EQ(surfaceColor(c, true, std::nan(""), false), seaColor());
}

TEST(WindSurfaceColor, PremultipliedArgbLayout) {
    EXPECT_EQ(premultipliedArgb({0x12, 0x34, 0x56, 255}), 0xFF123456u);
    EXPECT_EQ(premultipliedArgb({255, 128, 0, 0}), 0u);
    EXPECT_EQ(premultipliedArgb({255, 100, 0, 128}), 0x80803200u);
}

TEST(WindSurfaceLongitude, BroughtIntoView) {
    const MapView v = viewAt(400, 300, -50, 40, 4); // -50 .. 50
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(v, 10), 10);
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(v, -60), -60); // just west: stays
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(v, 60), 60);   // just east: stays
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(v, 300), -60); // one turn back is nearer
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(v, -300), 60);

    const MapView p = viewAt(400, 300, 150, 10, 4); // 150 .. 250
    ASSERT_GT(p.eastLon, 180);
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(p, -170), 190);
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(p, -100), -100 + 360.0);
    EXPECT_DOUBLE_EQ(longitudeBroughtIntoView(p, -20), -20 + 360.0); // 20 beyond the east edge
}

TEST(WindSurfaceInterpolated, AreaLargerThanWindowCoversExactlyIt) {
    const WindStore store = uniformStore(41, 41, -20, -20, 10);
    const MapView v = viewAt(300, 200, -5, 5, 20);
    const SurfaceBitmap b = interpolatedSurfaceAtRecord(v, store, 0, coloring());
    EXPECT_EQ(b.x0, 0);
    EXPECT_EQ(b.y0, 0);
    EXPECT_EQ(b.x1, 300);
    EXPECT_EQ(b.y1, 200);
    EXPECT_EQ(b.width, 300);
    EXPECT_EQ(b.height, 200);
    ASSERT_EQ(b.pixels.size(), 300u * 200u);
    // 10 m/s is 19.4 kt: scale colour 3 everywhere.
    EXPECT_EQ(count(b, scaleColor(3)), 300 * 200);
}

TEST(WindSurfaceInterpolated, AreaPartlyWestStartsAtTheWindowEdge) {
    const WindStore store = uniformStore(11, 11, 0, 40, 10); // 0..10 E, 40..50 N
    const MapView v = viewAt(400, 300, 5, 52, 20);           // from 5 E, 52 N
    const SurfaceBitmap b = interpolatedSurfaceAtRecord(v, store, 0, coloring());
    double xe, yn, ys;
    v.project(10, 50, xe, yn);
    v.project(10, 40, xe, ys);
    // The pixels whose centres lie in the area.
    EXPECT_EQ(b.x0, 0);
    EXPECT_EQ(b.x1, std::ceil(xe - 0.5));
    EXPECT_EQ(b.y0, std::ceil(yn - 0.5));
    EXPECT_EQ(b.y1, std::min(std::ceil(ys - 0.5), 300.0));
    EXPECT_EQ(b.width, b.x1 - b.x0);
    EXPECT_EQ(count(b, scaleColor(3)), b.width * b.height);
}

TEST(WindSurfaceInterpolated, BlocksFromTheChartsOriginAndMissingPoints) {
    // 0..9 E at 11 px per degree from x = 11: 99 px, an odd width; the chart's origin (0 E) at
    // x = 11, so the blocks start at odd columns and the last one is a column wide.
    const WindStore store = uniformStore(10, 10, 0, 40, 10, 4 * 10 + 4);
    const MapView v = viewAt(200, 200, -1, 50, 11);
    const SurfaceBitmap b = interpolatedSurfaceAtRecord(v, store, 0, coloring());
    ASSERT_EQ(b.x0, 11);
    ASSERT_EQ(b.width, 99);
    ASSERT_GT(b.height, 4);
    EXPECT_EQ(count(b, 0), 0);
    const int originY = static_cast<int>(std::floor(v.transY));
    int sea = 0, wind = 0;
    for (int y = 0; y < b.height; ++y) {
        for (int x = 0; x < b.width; ++x) {
            // The block's top-left pixel, within the bitmap.
            const int left = x - x % 2;
            const int top = std::max(0, y - ((static_cast<int>(b.y0) + y - originY) % 2 + 2) % 2);
            const std::uint32_t p = b.at(x, y);
            ASSERT_EQ(p, b.at(left, top)) << x << " " << y;
            if (x != left || y != top) continue;
            sea += p == seaColor();
            wind += p == scaleColor(3);
        }
    }
    // The cells around the missing point at (4 E, 44 N) are not found: sea colour, never
    // transparent; everything else has wind.
    EXPECT_GT(sea, 0);
    EXPECT_GT(wind, sea);
    double x, y;
    v.project(4.5, 44.5, x, y);
    EXPECT_EQ(b.at(static_cast<int>(x - b.x0), static_cast<int>(y - b.y0)), seaColor());
}

// The surface of a view moved by whole pixels is the surface moved, and the surface of a part
// of the view is that part of the whole (so a pan draws only the strips it uncovers).
TEST(WindSurfaceInterpolated, MovedViewAndPartOfTheView) {
    const WindStore& store = demo();
    const FrameGeometry& g = store.geometry(0);
    MapView v;
    v.resize(640, 400);
    ASSERT_TRUE(v.frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap));
    // Zoomed in until the area covers the window, the origin a part of a pixel off.
    const WindColorRamp& ramp = store.colorRamp();
    const SurfaceColoring c{&ramp, 100, false};
    SurfaceBitmap whole;
    for (int i = 0; i < 8 && whole.width * whole.height < 640 * 400; ++i) {
        v.zoomAt(120, 300.3, 200.6);
        whole = interpolatedSurfaceAtRecord(v, store, 1, c);
    }
    ASSERT_EQ(whole.width * whole.height, 640 * 400);
    struct Case {
        int dx, dy;
        PixelRect clip;
    };
    for (const Case& k :
         {Case{7, 5, {}}, Case{-13, 2, {}}, Case{0, -1, {}}, Case{0, 0, {0, 0, 37, 400}},
          Case{0, 0, {5, 383, 640, 400}}, Case{3, -4, {601, 0, 640, 400}}}) {
        SCOPED_TRACE(std::to_string(k.dx) + ", " + std::to_string(k.dy));
        MapView moved = v;
        moved.pan(k.dx, k.dy);
        moved.update();
        const SurfaceBitmap b = interpolatedSurfaceAtRecord(moved, store, 1, c, k.clip);
        ASSERT_FALSE(b.empty());
        int compared = 0, differ = 0;
        for (int y = 0; y < b.height; ++y) {
            for (int x = 0; x < b.width; ++x) {
                const int wx = static_cast<int>(b.x0 - whole.x0) + x - k.dx;
                const int wy = static_cast<int>(b.y0 - whole.y0) + y - k.dy;
                if (wx < 0 || wy < 0 || wx >= whole.width || wy >= whole.height) continue;
                ++compared;
                differ += b.at(x, y) != whole.at(wx, wy);
            }
        }
        EXPECT_GT(compared, 0);
        EXPECT_EQ(differ, 0);
    }
}

TEST(WindSurfaceInterpolated, NothingToDraw) {
    const WindStore store = uniformStore(11, 11, 0, 40, 10);
    const MapView v = viewAt(300, 200, 0, 50, 20);
    EXPECT_TRUE(interpolatedSurfaceAtRecord(v, store, -1, coloring()).empty());
    EXPECT_TRUE(interpolatedSurfaceAtRecord(v, store, 1, coloring()).empty());
    EXPECT_TRUE(interpolatedSurfaceAtRecord(v, WindStore{}, 0, coloring()).empty());
    FixedField field;
    EXPECT_TRUE(interpolatedSurfaceAtTime(v, store, -1, field, 0, coloring()).empty());
    EXPECT_TRUE(cellSurfaceAtRecord(v, store, -1, coloring()).empty());
    EXPECT_TRUE(cellSurfaceAtTime(v, WindStore{}, 0, field, 0, coloring()).empty());
    // A grid far east of the view.
    const MapView away = viewAt(300, 200, -100, 50, 20);
    EXPECT_TRUE(interpolatedSurfaceAtRecord(away, store, 0, coloring()).empty());
    EXPECT_TRUE(cellSurfaceAtRecord(away, store, 0, coloring()).empty());
}

TEST(WindSurfaceInterpolated, AtTimeSamplesTheField) {
    const WindStore store = uniformStore(11, 11, 0, 40, 10);
    const MapView v = viewAt(300, 200, -1, 51, 20);
    FixedField field;
    field.knots = 25;
    SurfaceBitmap b = interpolatedSurfaceAtTime(v, store, 0, field, 0, coloring());
    ASSERT_FALSE(b.empty());
    const int blocks = b.width * b.height;
    EXPECT_EQ(count(b, scaleColor(5)), blocks);
    field.found = false;
    b = interpolatedSurfaceAtTime(v, store, 0, field, 0, coloring());
    EXPECT_EQ(count(b, seaColor()), blocks);
}

TEST(WindSurfaceInterpolated, GridAcrossTheDateLine) {
    // 170 E .. 170 W: seen from a view east of 180 the bitmap spans the grid.
    const WindStore store = uniformStore(21, 11, 170, 0, 10);
    const MapView v = viewAt(400, 300, 160, 12, 10); // 160 .. 200
    const SurfaceBitmap b = interpolatedSurfaceAtRecord(v, store, 0, coloring());
    EXPECT_EQ(b.x0, 100);
    EXPECT_EQ(b.x1, 300);
    EXPECT_EQ(count(b, scaleColor(3)), b.width * b.height);
}

TEST(WindSurfaceInterpolated, GlobalGridAroundGreenwichFillsTheWindow) {
    // 0 .. 358 E every 2 degrees: its west and east ends both lie in a view around
    // Greenwich, in reverse order; the whole window is still covered.
    const WindStore store = uniformStore(180, 21, 0, -20, 10, -1, 2);
    const MapView v = viewAt(400, 300, -20, 10, 10); // -20 .. 20
    const SurfaceBitmap b = interpolatedSurfaceAtRecord(v, store, 0, coloring());
    EXPECT_EQ(b.x0, 0);
    EXPECT_EQ(b.x1, 400);
    EXPECT_EQ(b.width, 400);
    EXPECT_EQ(count(b, 0), 0);
    // Both sides of Greenwich have wind (the seam between 358 E and 360 E has none).
    double x, y;
    for (double lon : {-15.0, -5.0, 5.0, 15.0}) {
        v.project(lon, 0, x, y);
        EXPECT_EQ(b.at(static_cast<int>(x), static_cast<int>(y)), scaleColor(3)) << lon;
    }
    v.project(-1, 0, x, y);
    EXPECT_EQ(b.at(static_cast<int>(x), static_cast<int>(y)), seaColor());
}

TEST(WindSurfaceCells, BoxesOrderAndColours) {
    // 3 x 3 points at 0..2 E, 40..42 N; speeds 2 m/s times the point number; the centre is
    // missing.
    std::vector<float> u(9), vv(9, 0.0f);
    for (int i = 0; i < 9; ++i) u[static_cast<std::size_t>(i)] = 2.0f * static_cast<float>(i);
    u[4] = kGribMissing;
    WindStore store;
    ASSERT_EQ(store.loadRecords({windRecord(true, 0, 0, 3, 3, 0, 40, 1, u),
                                 windRecord(false, 0, 0, 3, 3, 0, 40, 1, vv)},
                                testRamp()),
              GribLoadStatus::Ok);
    const MapView v = viewAt(400, 400, -2, 44, 50);
    const std::vector<SurfaceCell> cells = cellSurfaceAtRecord(v, store, 0, coloring(50));
    ASSERT_EQ(cells.size(), 9u);
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) {
            const SurfaceCell& cell = cells[static_cast<std::size_t>(r * 3 + c)];
            double xw, yn, xe, ys;
            v.project(c == 0 ? 0 : c - 1, r == 2 ? 42 : 41 + r, xw, yn);
            v.project(c == 2 ? 2 : c + 1, r == 0 ? 40 : 39 + r, xe, ys);
            EXPECT_NEAR(cell.x0, xw, 1e-6);
            EXPECT_NEAR(cell.x1, xe, 1e-6);
            EXPECT_NEAR(cell.y0, yn, 1e-6);
            EXPECT_NEAR(cell.y1, ys, 1e-6);
            const int n = r * 3 + c;
            const double knots = 2.0 * n * 1.9433722907500877 * 0.5;
            const std::uint32_t want =
                n == 4 ? seaColor() : scaleColor(std::min(9, static_cast<int>(knots / 5)));
            EXPECT_EQ(cell.argb, want) << n;
        }
    }

    // Only the boxes touching the view are given.
    const MapView part = viewAt(100, 400, 1.5, 44, 50); // 1.5 .. 3.5 E
    const std::vector<SurfaceCell> some = cellSurfaceAtRecord(part, store, 0, coloring());
    ASSERT_EQ(some.size(), 6u);
    for (const SurfaceCell& cell : some) EXPECT_GE(cell.x1, 0);

    FixedField field;
    field.knots = 70;
    const std::vector<SurfaceCell> timed = cellSurfaceAtTime(v, store, 0, field, 0, coloring());
    ASSERT_EQ(timed.size(), 9u);
    for (const SurfaceCell& cell : timed) EXPECT_EQ(cell.argb, scaleColor(9));
}

TEST(WindSurfaceCells, BoxAcrossTheDateLineStaysWhole) {
    const WindStore store = uniformStore(21, 3, 170, 0, 10); // 170 E .. 170 W
    const MapView v = viewAt(400, 300, 160, 10, 10);         // 160 .. 200
    const std::vector<SurfaceCell> cells = cellSurfaceAtRecord(v, store, 0, coloring());
    ASSERT_EQ(cells.size(), 21u * 3u);
    for (std::size_t i = 0; i < cells.size(); ++i) {
        const int c = static_cast<int>(i % 21);
        const double width = (c == 0 || c == 20) ? 10 : 20;
        EXPECT_NEAR(cells[i].x1 - cells[i].x0, width, 1e-4) << i;
        EXPECT_NEAR(cells[i].x0, 100 + 10 * std::max(0, c - 1), 1e-4) << i;
    }
}

TEST(WindSurfaceDemo, RecordAndTimeAgreeOnRealForecast) {
    const WindStore& store = demo();
    ASSERT_FALSE(store.empty());
    MapView v;
    v.resize(640, 400);
    const FrameGeometry& g = store.geometry(0);
    ASSERT_TRUE(v.frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap));
    const WindColorRamp& ramp = store.colorRamp();
    const SurfaceColoring c{&ramp, 100, false};
    const SurfaceBitmap atRecord = interpolatedSurfaceAtRecord(v, store, 0, c);
    ASSERT_FALSE(atRecord.empty());
    // The framed area lies inside the window with a margin.
    EXPECT_GT(atRecord.x0, 0);
    EXPECT_LT(atRecord.x1, 640);
    EXPECT_EQ(count(atRecord, 0), 0);

    // A block's colour is that of the wind sampled at its top-left pixel; blocks start an even
    // number of pixels from the chart's origin.
    const int originX = static_cast<int>(std::floor(v.transX));
    const int originY = static_cast<int>(std::floor(v.transY));
    for (int y : {10, 100, 200}) {
        for (int x : {10, 150, 300}) {
            const int px = static_cast<int>(atRecord.x0) + x,
                      py = static_cast<int>(atRecord.y0) + y;
            const int left = px - ((px - originX) % 2 + 2) % 2;
            const int top = py - ((py - originY) % 2 + 2) % 2;
            double lon, lat;
            v.unproject(left, top, lon, lat);
            const WindSample s =
                frameSample(store, 0, static_cast<float>(lon), static_cast<float>(lat));
            EXPECT_EQ(atRecord.at(x, y),
                      premultipliedArgb(windColor(ramp, s.found, s.speed, false)));
        }
    }

    // At the first frame's time, the time interpolation gives the record's own winds.
    RoutingParameters parameters;
    parameters.uniqueWind = false;
    const StoreWindField field(store, parameters);
    const SurfaceBitmap atTime =
        interpolatedSurfaceAtTime(v, store, 0, field, store.frameTimes()[0], c);
    EXPECT_EQ(atTime.pixels, atRecord.pixels);

    const std::vector<SurfaceCell> cells = cellSurfaceAtRecord(v, store, 0, c);
    EXPECT_EQ(cells.size(), static_cast<std::size_t>(g.nx) * static_cast<std::size_t>(g.ny));
}

// The grid's bilinear mix against frameSpeed block by block, pixel for pixel: records read and
// made on demand, both colourings, views over the area's edges (the last column and row take
// the nearest point), a missing point and a grid across the date line.
TEST(WindSurfaceInterpolated, GridMixIsTheSampledSurface) {
    const WindStore& store = demo();
    ASSERT_FALSE(store.empty());
    const FrameGeometry& g = store.geometry(0);
    MapView framed;
    framed.resize(640, 400);
    ASSERT_TRUE(framed.frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap));
    // Zoomed in on the area's north-east corner, a fractional pixel off the grid lines.
    MapView corner = framed;
    corner.zoomAt(120, 600.3, 40.7);
    corner.zoomAt(120, 600.3, 40.7);
    const WindColorRamp& ramp = store.colorRamp();
    const int records = static_cast<int>(store.frames().size());
    ASSERT_GT(records, 2);
    int onDemand = 0;
    for (const MapView& v : {framed, corner}) {
        for (int record : {0, 1, records / 2, records - 1}) {
            onDemand += store.frames()[static_cast<std::size_t>(record)].onDemand();
            for (const SurfaceColoring& c :
                 {SurfaceColoring{&ramp, 100, false}, SurfaceColoring{&ramp, 130, true}}) {
                const SurfaceBitmap mixed = interpolatedSurfaceAtRecord(v, store, record, c);
                const SurfaceBitmap sampled = sampledSurfaceAtRecord(v, store, record, c);
                ASSERT_FALSE(mixed.empty());
                EXPECT_EQ(mixed.x0, sampled.x0);
                EXPECT_EQ(mixed.y0, sampled.y0);
                EXPECT_EQ(mixed.width, sampled.width);
                EXPECT_EQ(mixed.height, sampled.height);
                EXPECT_TRUE(mixed.pixels == sampled.pixels) << record;
            }
        }
    }
    EXPECT_GT(onDemand, 0);

    const SurfaceColoring c = coloring();
    const WindStore holed = uniformStore(10, 10, 0, 40, 10, 4 * 10 + 4);
    const MapView v = viewAt(200, 200, -1, 50, 11);
    EXPECT_EQ(interpolatedSurfaceAtRecord(v, holed, 0, c).pixels,
              sampledSurfaceAtRecord(v, holed, 0, c).pixels);
    const WindStore dateLine = uniformStore(21, 11, 170, 0, 10);
    const MapView east = viewAt(400, 300, 160, 12, 10);
    EXPECT_EQ(interpolatedSurfaceAtRecord(east, dateLine, 0, c).pixels,
              sampledSurfaceAtRecord(east, dateLine, 0, c).pixels);
    const WindStore global = uniformStore(180, 21, 0, -20, 10, -1, 2);
    const MapView greenwich = viewAt(400, 300, -20, 10, 10);
    EXPECT_EQ(interpolatedSurfaceAtRecord(greenwich, global, 0, c).pixels,
              sampledSurfaceAtRecord(greenwich, global, 0, c).pixels);
}

// Speeds on each colour step and a few floats either side, at several variations (none that
// is not positive too) and both colourings, besides no wind, negative and huge speeds: the
// lookup gives surfaceColor's word for every one.
TEST(WindSurfaceColor, LookupIsSurfaceColorOnEverySpeed) {
    const WindColorRamp& ramp = testRamp();
    for (bool perKnot : {false, true}) {
        const int steps = static_cast<int>((perKnot ? ramp.ramp : ramp.scale).size());
        const double knotsPerStep = perKnot ? 1.0 : ramp.interval;
        for (double variation : {100.0, 130.0, 73.0, 0.0, -50.0}) {
            const SurfaceColoring c = coloring(variation, perKnot);
            const SurfaceColorLookup lookup(c);
            const auto expectSame = [&](float knots) {
                ASSERT_EQ(lookup(knots), surfaceColor(c, true, knots, perKnot))
                    << knots << " kt, variation " << variation << ", per knot " << perKnot;
            };
            EXPECT_EQ(lookup(std::nanf("")), surfaceColor(c, false, 0, perKnot));
            for (float knots : {-3.0f, -0.0f, 0.0f, 1e-30f, 5e3f, 3e38f}) expectSame(knots);
            for (int k = 1; k <= steps; ++k) {
                const double scale = variation > 0 ? variation / 100.0 : 1.0;
                float knots = static_cast<float>(k * knotsPerStep / scale);
                for (int i = 0; i < 8; ++i) knots = std::nextafter(knots, 0.0f);
                for (int i = 0; i < 17; ++i, knots = std::nextafter(knots, 1e9f)) expectSame(knots);
            }
        }
    }
}
