// Records cut to a box: the window of grid points kept (the 180 degree meridian, grids round
// the earth, boxes partly or wholly outside), the values moved with their points, and the
// decoder cropping each message as it reads it.
#include "weather/grib.h"
#include "weather/grib_crop.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

namespace navorel {
namespace {

GribRecord grid(float lon1, float di, int nx, float lat1, float dj, int ny, bool withValues) {
    GribRecord r;
    r.lon1 = lon1;
    r.di = di;
    r.nx = nx;
    r.lat1 = lat1;
    r.dj = dj;
    r.ny = ny;
    r.lon2 = float(std::remainder(double(lon1) + double(di) * (nx - 1), 360.0));
    r.lat2 = lat1 + dj * float(ny - 1);
    r.valueCount = std::size_t(nx) * std::size_t(ny);
    if (withValues) {
        r.values.resize(r.valueCount);
        for (std::size_t k = 0; k < r.valueCount; ++k) r.values[k] = float(k);
    }
    return r;
}

double east360(double lon) {
    double d = std::fmod(lon, 360.0);
    return d < 0 ? d + 360.0 : d;
}

TEST(gribCropTest, windowOfTheGridPointsAroundTheBox) {
    struct Case {
        const char* what;
        GribRecord r;
        GribBox box;
        bool cropped;
        GribCropWindow w;
    };
    const GribRecord demo = grid(-76, 0.25f, 49, 38, 0.25f, 33, false);
    const GribRecord global = grid(0, 0.5f, 720, -90, 0.5f, 361, false);
    const GribRecord across = grid(170, 2, 11, -30, 2, 6, false); // 170 E to 170 W
    const Case cases[] = {
        // Columns 24-32 and rows 8-16 cover the box, one more each side.
        {"inside", demo, gribBox(-70, -68, 40, 42), true, {23, 11, 7, 11}},
        {"box between grid points", demo, gribBox(-70.1, -68, 40.1, 42), true, {22, 12, 7, 11}},
        {"partly west and south", demo, gribBox(-80, -70, 30, 39), true, {0, 26, 0, 6}},
        {"partly east and north", demo, gribBox(-66, -60, 45, 50), true, {39, 10, 27, 6}},
        {"holds the whole grid", demo, gribBox(-80, -60, 30, 50), false, {}},
        {"east of the grid", demo, gribBox(-60, -50, 40, 42), false, {}},
        {"north of the grid", demo, gribBox(-70, -68, 50, 52), false, {}},
        {"unbounded", demo, GribBox{}, false, {}},
        // Round the earth: columns 699-719 then 0-21 (350 E to 10 E).
        {"global across its seam", global, gribBox(-10, 10, -5, 5), true, {699, 43, 169, 23}},
        {"global across 180", global, gribBox(170, -170, 0, 1), true, {339, 43, 179, 5}},
        {"global, box wider than the row",
         global,
         gribBox(-180, 180, 0, 1),
         true,
         {0, 720, 179, 5}},
        // A grid from 170 E to 170 W and a box from 175 E to 175 W.
        {"regional across 180", across, gribBox(175, -175, -30, -20), true, {1, 9, 0, 6}},
    };
    for (const Case& c : cases) {
        GribCropWindow w;
        EXPECT_EQ(gribCropWindow(c.r, c.box, w), c.cropped) << c.what;
        if (!c.cropped) continue;
        EXPECT_EQ(w.firstColumn, c.w.firstColumn) << c.what;
        EXPECT_EQ(w.columns, c.w.columns) << c.what;
        EXPECT_EQ(w.firstRow, c.w.firstRow) << c.what;
        EXPECT_EQ(w.rows, c.w.rows) << c.what;
    }
}

TEST(gribCropTest, boxAroundPointsTakesTheNarrowWayRound) {
    const GribBox plain = gribBoxAround({{-70.5f, 42}, {-66, 43.5f}}, 1);
    EXPECT_TRUE(plain.bounded);
    EXPECT_NEAR(plain.west, -71.5, 1e-5);
    EXPECT_NEAR(plain.east, -65, 1e-5);
    EXPECT_NEAR(plain.south, 41, 1e-5);
    EXPECT_NEAR(plain.north, 44.5, 1e-5);
    // 179 E and 179 W are 2 degrees apart across the meridian, not 358.
    const GribBox across = gribBoxAround({{179, 0}, {-179, 1}}, 0.5);
    EXPECT_NEAR(across.west, 178.5, 1e-5);
    EXPECT_NEAR(across.east, -178.5, 1e-5);
    EXPECT_NEAR(across.width(), 3, 1e-5);
    EXPECT_TRUE(across.contains(180, 0.5));
    EXPECT_TRUE(across.contains(-179, 0.5));
    EXPECT_FALSE(across.contains(0, 0.5));
    EXPECT_FALSE(across.contains(179, 2));
    EXPECT_FALSE(gribBoxAround({}, 1).bounded);
    // A margin that goes round the earth keeps every longitude.
    EXPECT_NEAR(gribBoxAround({{0, 0}, {90, 0}}, 150).width(), 360, 1e-9);
}

// Every kept value is the one of the whole grid at the same place, absent points included.
void expectSameValuesAtSamePlaces(const GribRecord& whole, const GribRecord& cut) {
    ASSERT_EQ(cut.values.size(), std::size_t(cut.nx) * std::size_t(cut.ny));
    ASSERT_EQ(cut.valueCount, cut.values.size());
    for (int j = 0; j < cut.ny; ++j) {
        const double lat = cut.lat1 + j * double(cut.dj);
        const long long wj = std::llround((lat - whole.lat1) / whole.dj);
        ASSERT_GE(wj, 0);
        ASSERT_LT(wj, whole.ny);
        for (int i = 0; i < cut.nx; ++i) {
            const double lon = cut.lon1 + i * double(cut.di);
            const long long wi =
                std::llround(east360(lon - whole.lon1) / whole.di) % std::llround(360 / whole.di);
            ASSERT_LT(wi, whole.nx);
            EXPECT_EQ(cut.values[std::size_t(j * cut.nx + i)],
                      whole.values[std::size_t(wj * whole.nx + wi)])
                << "point " << i << "," << j;
        }
    }
}

TEST(gribCropTest, valuesMoveWithTheirPoints) {
    GribRecord global = grid(0, 0.5f, 720, -90, 0.5f, 361, true);
    global.values[170 * 720 + 5] = kGribMissing; // an absent point inside the box
    GribRecord regional = grid(-76, 0.25f, 49, 38, 0.25f, 33, true);
    const struct {
        GribRecord whole;
        GribBox box;
    } cases[] = {
        {global, gribBox(-10, 10, -5, 5)}, // across the seam of the rows
        {global, gribBox(170, -170, 0, 1)},
        {regional, gribBox(-70, -68, 40, 42)},
    };
    for (const auto& c : cases) {
        GribRecord cut = c.whole;
        ASSERT_TRUE(cropGribRecord(cut, c.box));
        expectSameValuesAtSamePlaces(c.whole, cut);
        EXPECT_GE(cut.lat2, c.box.north);
        EXPECT_LE(cut.lat1, c.box.south);
        // The headers of the same record crop to the same grid.
        GribRecord headers = c.whole;
        headers.values.clear();
        ASSERT_TRUE(cropGribRecord(headers, c.box));
        EXPECT_EQ(headers.nx, cut.nx);
        EXPECT_EQ(headers.ny, cut.ny);
        EXPECT_EQ(headers.lon1, cut.lon1);
        EXPECT_EQ(headers.lat1, cut.lat1);
        EXPECT_EQ(headers.valueCount, cut.valueCount);
    }
    GribRecord cut = global;
    ASSERT_TRUE(cropGribRecord(cut, gribBox(-10, 10, -5, 5)));
    EXPECT_EQ(cut.lon1, -10.5f);
    EXPECT_EQ(cut.lon2, 10.5f);
    EXPECT_EQ(cut.values[std::size_t((170 - 169) * cut.nx + 5 + 21)], kGribMissing);
}

// The decoder crops each record as it reads it, headers and values alike, edition 1 and 2.
TEST(gribCropTest, decoderCropsEveryMessageAsItReads) {
    const std::string data = NAVOREL_TEST_DATA;
    const std::string demo = std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb";
    const struct {
        std::string path;
        GribBox box;
    } cases[] = {
        {demo, gribBox(-71, -69, 41, 43)},
        {data + "/grib/g2_bitmap.grb2", gribBox(3, 6, 45, 47)},
    };
    for (const auto& c : cases) {
        GribDecoder decoder;
        decoder.setNoteHandler([](const std::string&) {});
        std::vector<GribRecord> whole, cut, headers;
        std::string error;
        ASSERT_TRUE(decoder.readFile(c.path, whole, error)) << error;
        decoder.setCropBox(c.box);
        const std::uint64_t before = decoder.expandedValueCount();
        ASSERT_TRUE(decoder.readFile(c.path, cut, error)) << error;
        ASSERT_TRUE(decoder.readFileHeaders(c.path, headers, error)) << error;
        ASSERT_EQ(cut.size(), whole.size());
        ASSERT_EQ(headers.size(), whole.size());
        std::size_t kept = 0;
        for (std::size_t k = 0; k < cut.size(); ++k) {
            EXPECT_LT(cut[k].values.size(), whole[k].values.size()) << c.path;
            expectSameValuesAtSamePlaces(whole[k], cut[k]);
            EXPECT_EQ(headers[k].valueCount, cut[k].valueCount);
            kept += cut[k].values.size();
        }
        // Each message was decoded whole, once, then cut.
        std::size_t all = 0;
        for (const GribRecord& r : whole) all += r.values.size();
        EXPECT_EQ(decoder.expandedValueCount() - before, all);
        EXPECT_LT(kept, all / 4);
    }
}

} // namespace
} // namespace navorel
