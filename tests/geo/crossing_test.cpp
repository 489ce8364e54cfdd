// The land and barrier tests of a move, and the point-on-land test, on small hand-made
// shorelines.
//
//  cell (10, 45)            cell (11, 45)
//  +-----------------+      +--------+--------+
//  |    +-------+    |      |########|        |
//  |    |island |    |      |# land  |  sea   |
//  |    +-------+    |      |########|        |
//  +-----------------+      +--------+--------+
//  island 10.2..10.8 x 45.2..45.8;  land 11..11.5 x 45..46 (clipped: three border edges)
#include "geo/crossing.h"
#include "shore_test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

using namespace navorel;
using namespace shore_test;

namespace {

GeoPoint at(float lon, float lat) {
    return {lon, lat};
}
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();

constexpr int kRoundVertices = 1000;
constexpr double kRoundLon = 20.5, kRoundLat = 45.5, kRoundRadius = 0.3;

Ring roundIsland() {
    Ring r;
    for (int k = 0; k < kRoundVertices; ++k) {
        const double a = 2 * M_PI * k / kRoundVertices;
        r.points.push_back(
            {kRoundLon + kRoundRadius * std::cos(a), kRoundLat + kRoundRadius * std::sin(a)});
    }
    return r;
}

const ShorelineStore& testStore() {
    static const ShorelineStore* store = [] {
        const std::string folder = makeFolder("crossing");
        std::map<std::pair<int, int>, CellData> cells;
        cells[{10, 45}].land.push_back(box(10.2, 45.2, 10.8, 45.8));
        cells[{11, 45}].land.push_back(box(11.0, 45.0, 11.5, 46.0));
        // A lake, alone in its cell, and a lake inside land.
        cells[{12, 45}].lakes.push_back(box(12.2, 45.2, 12.8, 45.8));
        cells[{11, 45}].lakes.push_back(box(11.1, 45.4, 11.3, 45.6));
        // Beside the date line: a strip at 179.6..179.9 and one at 180.1..180.4.
        cells[{179, 0}].land.push_back(box(179.6, 0.2, 179.9, 0.8));
        cells[{180, 0}].land.push_back(box(180.1, 0.2, 180.4, 0.8));
        // West of 179.5 in the next row, where a move from 179.5 eastwards never goes.
        cells[{179, 1}].land.push_back(box(179.1, 1.2, 179.3, 1.8));
        // Land that starts exactly on 180 degrees (the cell's west border).
        cells[{180, 2}].land.push_back(box(180.0, 2.2, 180.5, 2.8));
        // Land across the prime meridian, cut into cells 359 and 0.
        cells[{359, 50}].land.push_back(box(359.5, 50.2, 360.0, 50.8));
        cells[{0, 50}].land.push_back(box(0.0, 50.2, 0.5, 50.8));
        // A round island of many edges: blocks in several groups.
        cells[{20, 45}].land.push_back(roundIsland());
        writeFile(shorelineFileName(folder, 2), makeFile(cells).data);
        auto* s = new ShorelineStore(folder);
        s->openLevel(2);
        return s;
    }();
    return *store;
}

} // namespace

TEST(EdgeCrossing, EndsCountParallelsNever) {
    const GeoPoint a = at(0, 0), b = at(1, 0);
    EXPECT_TRUE(moveCrossesEdge(at(0.5f, -1), at(0.5f, 1), a, b));
    EXPECT_TRUE(moveCrossesEdge(at(0.5f, -1), at(0.5f, 0), a, b)); // ends on the edge
    EXPECT_TRUE(moveCrossesEdge(at(1, -1), at(1, 1), a, b));       // through its end vertex
    EXPECT_FALSE(moveCrossesEdge(at(0.5f, -1), at(0.5f, -0.01f), a, b));
    EXPECT_FALSE(moveCrossesEdge(at(1.01f, -1), at(1.01f, 1), a, b));
    EXPECT_FALSE(moveCrossesEdge(at(0.2f, 0), at(0.8f, 0), a, b));  // collinear, overlapping
    EXPECT_FALSE(moveCrossesEdge(at(-1, 0.1f), at(2, 0.1f), a, b)); // parallel
    EXPECT_FALSE(moveCrossesEdge(at(0.5f, 0), at(0.5f, 0), a, b));  // no move at all
}

TEST(LandCrossing, IslandAndCoast) {
    const ShorelineStore& s = testStore();
    EXPECT_TRUE(segmentCrossesLand(s, at(10.1f, 45.5f), at(10.9f, 45.5f)));  // through
    EXPECT_TRUE(segmentCrossesLand(s, at(10.1f, 45.3f), at(10.5f, 45.5f)));  // into it
    EXPECT_FALSE(segmentCrossesLand(s, at(10.1f, 45.1f), at(10.1f, 45.9f))); // past it
    EXPECT_FALSE(segmentCrossesLand(s, at(10.3f, 45.3f), at(10.7f, 45.7f))); // wholly inside
    // Ending exactly on the coast counts.
    EXPECT_TRUE(segmentCrossesLand(s, at(10.0f, 45.5f), at(10.2f, 45.5f)));
    // Sliding along the coast, even over it, does not.
    EXPECT_FALSE(segmentCrossesLand(s, at(10.3f, 45.2f), at(10.7f, 45.2f)));
    // A long move over several cells meets the clipped land's real edge at 11.5.
    EXPECT_TRUE(segmentCrossesLand(s, at(10.9f, 45.9f), at(11.9f, 45.1f)));
    EXPECT_TRUE(segmentCrossesLand(s, at(11.7f, 45.5f), at(11.3f, 45.5f)));
}

// Every part of a long coast is found, whichever run of blocks holds the edge crossed, and
// moves near it that cross nothing are not stopped.
TEST(LandCrossing, EveryRunOfBlocksOfALongCoast) {
    const ShorelineStore& s = testStore();
    const struct {
        double inner, outer; // distances of the move's ends from the island's centre
        bool crosses;
    } cases[] = {{0.29, 0.31, true}, {0.2, 0.299, false}, {0.301, 0.4, false}, {0.1, 0.5, true}};
    for (const auto& c : cases)
        for (int k = 0; k < 360; k += 5) {
            SCOPED_TRACE(testing::Message() << c.inner << " " << c.outer << " " << k);
            const double a = k * M_PI / 180.0;
            const GeoPoint p = at(static_cast<float>(kRoundLon + c.inner * std::cos(a)),
                                  static_cast<float>(kRoundLat + c.inner * std::sin(a)));
            const GeoPoint q = at(static_cast<float>(kRoundLon + c.outer * std::cos(a)),
                                  static_cast<float>(kRoundLat + c.outer * std::sin(a)));
            EXPECT_EQ(segmentCrossesLand(s, p, q), c.crosses);
        }
}

TEST(LandCrossing, CellBordersAreNotCoasts) {
    const ShorelineStore& s = testStore();
    // Along the meridian 11: only the artificial west edge of the clipped land lies there.
    EXPECT_FALSE(segmentCrossesLand(s, at(11.0f, 45.1f), at(11.0f, 45.9f)));
    // Across it, from cell 10 into the land of cell 11: still no coast crossed.
    EXPECT_FALSE(segmentCrossesLand(s, at(10.9f, 45.5f), at(11.2f, 45.5f)));
    // Across the parallel 46 out of the land.
    EXPECT_FALSE(segmentCrossesLand(s, at(11.2f, 45.9f), at(11.2f, 46.3f)));
    // The same cut across the prime meridian: 359.5..360 and 0..0.5 are one island.
    EXPECT_FALSE(segmentCrossesLand(s, at(-0.2f, 50.5f), at(0.2f, 50.5f)));
    EXPECT_TRUE(segmentCrossesLand(s, at(-0.7f, 50.5f), at(0.2f, 50.5f)));
    EXPECT_TRUE(segmentCrossesLand(s, at(-0.2f, 50.5f), at(0.7f, 50.5f)));
}

TEST(LandCrossing, LakesAreNotTestedButCountAsLand) {
    const ShorelineStore& s = testStore();
    EXPECT_FALSE(segmentCrossesLand(s, at(12.1f, 45.5f), at(12.9f, 45.5f)));
    EXPECT_FALSE(pointOnLand(s, at(12.5f, 45.5f))); // a lake with no land around it
    EXPECT_TRUE(pointOnLand(s, at(11.2f, 45.5f)));  // a lake inside land is land
}

TEST(LandCrossing, DateLine) {
    const ShorelineStore& s = testStore();
    // 179.5 -> -179.5 runs east over 180 through both strips, either way round.
    EXPECT_TRUE(segmentCrossesLand(s, at(179.5f, 0.5f), at(-179.5f, 0.5f)));
    EXPECT_TRUE(segmentCrossesLand(s, at(-179.5f, 0.5f), at(179.5f, 0.5f)));
    EXPECT_TRUE(segmentCrossesLand(s, at(179.95f, 0.5f), at(-179.5f, 0.5f)));
    EXPECT_FALSE(segmentCrossesLand(s, at(179.95f, 0.5f), at(-179.95f, 0.5f)));
    // Land west of the start is never met: the move does not run round the globe.
    EXPECT_FALSE(segmentCrossesLand(s, at(179.5f, 1.5f), at(-179.5f, 1.5f)));
    // Land starting exactly on 180 belongs to the west of the date line's eastern cells.
    EXPECT_TRUE(segmentCrossesLand(s, at(-179.9f, 2.1f), at(-179.7f, 2.3f)));
    EXPECT_TRUE(segmentCrossesLand(s, at(-179.7f, 2.5f), at(-179.4f, 2.5f)));
    EXPECT_TRUE(pointOnLand(s, at(-179.8f, 2.5f)));
    EXPECT_TRUE(pointOnLand(s, at(180.0f, 2.5f)));
    EXPECT_TRUE(pointOnLand(s, at(-180.0f, 2.5f)));
    EXPECT_FALSE(pointOnLand(s, at(-179.4f, 2.5f)));
}

TEST(LandCrossing, ReadsOnlyTheCellsOfTheMove) {
    ShorelineStore s(testStore().folder());
    ASSERT_TRUE(s.openLevel(2));
    EXPECT_FALSE(segmentCrossesLand(s, at(179.5f, 0.1f), at(-179.5f, 0.1f)));
    EXPECT_EQ(s.loadedCellCount(), 2); // cells 179 and 180 of row 0
    EXPECT_FALSE(s.cellAt(179, 0).land.empty());
    EXPECT_FALSE(s.cellAt(180, 0).land.empty());
    EXPECT_EQ(s.loadedCellCount(), 2);
    // On a whole meridian and parallel: the one cell starting there.
    segmentCrossesLand(s, at(30.0f, 20.0f), at(30.0f, 20.0f));
    EXPECT_EQ(s.loadedCellCount(), 3);
}

TEST(PointOnLand, EvenOddInOneCell) {
    const ShorelineStore& s = testStore();
    EXPECT_TRUE(pointOnLand(s, at(10.5f, 45.5f)));
    EXPECT_FALSE(pointOnLand(s, at(10.1f, 45.5f)));
    EXPECT_FALSE(pointOnLand(s, at(11.7f, 45.5f)));
    // On the whole meridian 11 the cell east of it is examined: the clipped land.
    EXPECT_TRUE(pointOnLand(s, at(11.0f, 45.5f)));
    EXPECT_FALSE(pointOnLand(s, at(10.999f, 45.5f)));
    // Across the prime meridian.
    EXPECT_TRUE(pointOnLand(s, at(-0.2f, 50.5f)));
    EXPECT_TRUE(pointOnLand(s, at(0.2f, 50.5f)));
    EXPECT_FALSE(pointOnLand(s, at(-0.7f, 50.5f)));
    // Not positions.
    EXPECT_FALSE(pointOnLand(s, at(10.5f, 95.0f)));
    EXPECT_FALSE(pointOnLand(s, at(kNaN, 45.5f)));
    EXPECT_FALSE(segmentCrossesLand(s, at(kNaN, 45.5f), at(10.5f, 45.5f)));
}

TEST(BarrierCrossing, OpenLines) {
    BarrierList barriers;
    EXPECT_FALSE(segmentCrossesBarrier(barriers, at(0, 0), at(1, 1)));
    // A triangle drawn open: 0,0 -> 1,0 -> 1,1 (no edge back from 1,1 to 0,0).
    barriers.push_back(Barrier{{at(0, 0), at(1, 0), at(1, 1)}});
    barriers.push_back(Barrier{{at(5, 5)}}); // one point: no edge
    EXPECT_TRUE(segmentCrossesBarrier(barriers, at(0.5f, -0.5f), at(0.5f, 0.5f)));
    EXPECT_TRUE(segmentCrossesBarrier(barriers, at(0.5f, 0.5f), at(1.0f, 0.5f)));  // touches
    EXPECT_FALSE(segmentCrossesBarrier(barriers, at(0.2f, 0.8f), at(0.8f, 0.2f))); // the gap
    EXPECT_FALSE(segmentCrossesBarrier(barriers, at(4, 5), at(6, 5)));
    // Closed by repeating its first point, the ring is whole.
    barriers[0].points.push_back(at(0, 0));
    EXPECT_TRUE(segmentCrossesBarrier(barriers, at(0.2f, 0.8f), at(0.8f, 0.2f)));
}
