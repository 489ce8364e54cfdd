// The converter from gmt's shoreline dump to the polygon file, on small dumps written the way
// gmt writes them, read back through the store.
#include "geo/crossing.h"
#include "geo/shoreline_builder.h"
#include "geo/shoreline_store.h"
#include "shore_test_files.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace navorel;

namespace {

GeoPoint at(float lon, float lat) {
    return {lon, lat};
}

// Builds level 0 of a fresh folder from the dump text; answers the folder.
std::string build(const std::string& name, const std::string& dump,
                  ShorelineBuildStats* statsOut = nullptr) {
    const std::string folder = shore_test::makeFolder(name);
    std::FILE* in = fmemopen(const_cast<char*>(dump.data()), dump.size(), "r");
    EXPECT_NE(in, nullptr);
    ShorelineBuildStats stats;
    std::string error;
    EXPECT_TRUE(buildShorelineFile(in, shorelineFileName(folder, 0), stats, error)) << error;
    std::fclose(in);
    if (statsOut) *statsOut = stats;
    return folder;
}

bool isCellSquare(const ShorelineContour& c, float west, float south) {
    if (c.vertices.size() != 4) return false;
    int corners = 0;
    for (GeoPoint p : c.vertices)
        corners += (p.lon == west || p.lon == west + 1) && (p.lat == south || p.lat == south + 1);
    return corners == 4;
}

} // namespace

TEST(ShoreBuilder, ClosedRingCutIntoCells) {
    // One island 2.5..4.5 x 10.5..12.5 with a bay on its east side, and a lake in it.
    const std::string dump = "> Shore Bin # 0, Level 1\n"
                             "2.5\t10.5\n4.5\t10.5\n4.5\t11.4\n3.8\t11.5\n4.5\t11.6\n"
                             "4.5\t12.5\n2.5\t12.5\n2.5\t10.5\n"
                             "> Shore Bin # 0, Level 2\n"
                             "3.2 11.2\n3.4 11.2\n3.4 11.4\n3.2 11.2\n"
                             "> Shore Bin # 0, Level 3\n"
                             "3.3 11.3\n3.35 11.3\n3.35 11.35\n3.3 11.3\n";
    ShorelineBuildStats stats;
    ShorelineStore store(build("builder_island", dump, &stats));
    ASSERT_TRUE(store.openLevel(0));
    EXPECT_EQ(stats.rings[0], 1);
    EXPECT_EQ(stats.rings[1], 1);

    // The middle cell lies inside land except for the bay's tip: cut, not whole.
    const ShorelineCell& middle = store.cellAt(3, 11);
    ASSERT_EQ(middle.land.size(), 1u);
    EXPECT_EQ(middle.lakes.size(), 1u);
    // The cells beside it keep a real coast and their cut vertices lie on whole degrees.
    const ShorelineCell& south = store.cellAt(3, 10);
    ASSERT_EQ(south.land.size(), 1u);
    for (GeoPoint p : south.land[0].vertices) {
        EXPECT_TRUE(p.lon == 3.0f || p.lon == 4.0f) << p.lon;
        EXPECT_TRUE(p.lat == 10.5f || p.lat == 11.0f) << p.lat;
    }
    EXPECT_TRUE(store.cellAt(2, 10).lakes.empty());
    EXPECT_TRUE(store.cellAt(5, 10).land.empty());

    // Inside and outside, the bay, the lake (land all the same).
    EXPECT_TRUE(pointOnLand(store, at(2.6f, 10.6f)));
    EXPECT_TRUE(pointOnLand(store, at(3.5f, 11.0f)));
    EXPECT_TRUE(pointOnLand(store, at(3.3f, 11.25f)));
    EXPECT_FALSE(pointOnLand(store, at(4.3f, 11.5f))); // in the bay
    EXPECT_FALSE(pointOnLand(store, at(2.4f, 11.0f)));
    EXPECT_FALSE(pointOnLand(store, at(4.6f, 12.0f)));
    // The coast is where it was; the cuts are not coasts.
    EXPECT_TRUE(segmentCrossesLand(store, at(2.0f, 11.2f), at(2.7f, 11.2f)));
    EXPECT_TRUE(segmentCrossesLand(store, at(4.9f, 11.2f), at(4.0f, 11.2f)));
    EXPECT_FALSE(segmentCrossesLand(store, at(2.7f, 10.7f), at(4.3f, 12.3f)));
    EXPECT_FALSE(segmentCrossesLand(store, at(4.2f, 11.5f), at(4.8f, 11.5f)));
}

TEST(ShoreBuilder, WholeCellsAndTheGreenwichSeam) {
    // A diamond of 3 degrees round (0, 50), printed the way gmt does it: the east half from
    // 0 (as 2.84217094304e-14) and the west half from 360, each ending where the other
    // starts.
    const std::string dump = "> Shore Bin # 1, Level 1\n"
                             "2.84217094304e-14\t47\n3\t50\n0\t53\n"
                             "> Shore Bin # 17, Level 1\n"
                             "360\t53\n357\t50\n360\t47\n";
    ShorelineBuildStats stats;
    ShorelineStore store(build("builder_seam", dump, &stats));
    ASSERT_TRUE(store.openLevel(0));
    EXPECT_EQ(stats.rings[0], 1);
    EXPECT_EQ(stats.brokenChains, 0);
    // The cells on either side of Greenwich at 49 and 50 lie wholly inside.
    for (int x : {359, 0}) {
        for (int y : {49, 50}) {
            const ShorelineCell& cell = store.cellAt(x, y);
            ASSERT_EQ(cell.land.size(), 1u) << x << "," << y;
            EXPECT_TRUE(isCellSquare(cell.land[0], static_cast<float>(x), static_cast<float>(y)))
                << x << "," << y;
            EXPECT_TRUE(cell.landBlocks.empty()); // nothing but border edges to test
        }
    }
    EXPECT_TRUE(pointOnLand(store, at(-0.5f, 50.0f)));
    EXPECT_TRUE(pointOnLand(store, at(0.0f, 52.5f)));
    EXPECT_TRUE(pointOnLand(store, at(-2.5f, 50.2f)));
    EXPECT_FALSE(pointOnLand(store, at(2.5f, 52.0f)));
    EXPECT_FALSE(segmentCrossesLand(store, at(-1.5f, 49.5f), at(1.5f, 50.5f)));
    EXPECT_TRUE(segmentCrossesLand(store, at(-1.5f, 49.5f), at(3.5f, 50.5f)));
    EXPECT_TRUE(segmentCrossesLand(store, at(-3.5f, 50.5f), at(-2.0f, 50.5f)));
}

TEST(ShoreBuilder, RingRoundTheGlobeClosesAtThePole) {
    // Antarctica in two pieces going east, and the same going west: closed along -90 from
    // longitude 0, so the only meridian edges are on 0/360.
    const std::string east = "> Shore Bin # 0, Level 1\n0 -70\n90 -72\n180 -70\n"
                             "> Shore Bin # 1, Level 1\n180 -70\n270 -69.5\n360 -70\n";
    const std::string west = "> Shore Bin # 0, Level 1\n360 -70\n270 -69.5\n180 -70\n"
                             "> Shore Bin # 1, Level 1\n180 -70\n90 -72\n0 -70\n";
    for (const std::string& dump : {east, west}) {
        ShorelineBuildStats stats;
        ShorelineStore store(build("builder_pole", dump, &stats));
        ASSERT_TRUE(store.openLevel(0));
        EXPECT_EQ(stats.polarRings, 1);
        for (float lon : {-179.5f, -0.5f, 0.0f, 0.5f, 90.0f, 179.5f}) {
            EXPECT_TRUE(pointOnLand(store, at(lon, -89.99f))) << lon;
            EXPECT_TRUE(pointOnLand(store, at(lon, -80.0f))) << lon;
            EXPECT_FALSE(pointOnLand(store, at(lon, -65.0f))) << lon;
        }
        for (int x : {0, 359, 180}) {
            const ShorelineCell& cell = store.cellAt(x, -90);
            ASSERT_EQ(cell.land.size(), 1u);
            EXPECT_TRUE(isCellSquare(cell.land[0], static_cast<float>(x), -90.0f));
        }
        EXPECT_FALSE(segmentCrossesLand(store, at(-0.5f, -80.0f), at(0.5f, -80.0f)));
        EXPECT_FALSE(segmentCrossesLand(store, at(179.5f, -85.0f), at(-179.5f, -85.0f)));
        EXPECT_TRUE(segmentCrossesLand(store, at(0.2f, -60.0f), at(0.2f, -75.0f)));
    }
}

TEST(ShoreBuilder, FailuresAreReported) {
    std::string error;
    std::vector<CoastPiece> pieces;
    {
        std::string text = "> Shore Bin # 0, Level 1\n1 2\nnot numbers\n";
        std::FILE* in = fmemopen(text.data(), text.size(), "r");
        EXPECT_FALSE(readCoastDump(in, pieces, error));
        EXPECT_NE(error.find("line 3"), std::string::npos) << error;
        std::fclose(in);
    }
    {
        // Nothing of levels 1 and 2: no file is made.
        std::string text = "> Shore Bin # 0, Level 3\n1 2\n2 2\n2 3\n1 2\n";
        std::FILE* in = fmemopen(text.data(), text.size(), "r");
        ShorelineBuildStats stats;
        const std::string path = shore_test::makeFolder("builder_none") + "poly-c-1.dat";
        EXPECT_FALSE(buildShorelineFile(in, path, stats, error));
        EXPECT_FALSE(std::filesystem::exists(path));
        std::fclose(in);
    }
    {
        // A folder that does not exist: refused, and no temporary file left behind.
        ShorelineCellSet cells;
        ShorelineBuildStats stats;
        EXPECT_FALSE(writeShorelineFile("/nonexistent-navorel/poly-c-1.dat", cells, stats, error));
        EXPECT_FALSE(std::filesystem::exists("/nonexistent-navorel/poly-c-1.dat.tmp"));
    }
    {
        // A chain whose end meets no other piece is closed as it is and counted.
        std::vector<CoastPiece> open{{1, {{1, 1}, {2, 1}, {2, 2}}}};
        ShorelineBuildStats stats;
        EXPECT_EQ(chainCoastPieces(open, 1, stats).size(), 1u);
        EXPECT_EQ(stats.brokenChains, 1);
    }
}
