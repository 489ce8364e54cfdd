// The barrier set: selection by the mouse, drawing, the context-menu edits and the files.
#include "geo/barriers.h"
#include "geo/gpx.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <unistd.h>

using namespace navorel;

namespace {

// Three barriers of 3, 1 and 2 points; point j of barrier i lies at (10 i + j, i).
BarrierSet sample() {
    BarrierSet set;
    const int sizes[] = {3, 1, 2};
    for (int i = 0; i < 3; ++i) {
        Barrier b;
        for (int j = 0; j < sizes[i]; ++j)
            b.points.push_back(GeoPoint{static_cast<float>(10 * i + j), static_cast<float>(i)});
        set.barriers.push_back(b);
    }
    return set;
}

void select(BarrierSet& set, int barrier, int point) {
    set.selectedBarrier = barrier;
    set.selectedPoint = point;
}

std::vector<float> lons(const Barrier& b) {
    std::vector<float> out;
    for (const GeoPoint& p : b.points) out.push_back(p.lon);
    return out;
}

} // namespace

TEST(barrierHitTest, firstPointStrictlyWithinFivePixelsWins) {
    BarrierSet set = sample();
    // Barrier 0's last point and barrier 2's first point both lie near (100, 100).
    BarrierScreenCopy screen{{{0, 0}, {50, 50}, {103, 96}}, {{300, 300}}, {{101, 101}, {0, 0}}};

    EXPECT_TRUE(hitTestBarriers(set, screen, 100, 100, false));
    EXPECT_EQ(set.selectedBarrier, 0);
    EXPECT_EQ(set.selectedPoint, 2);

    // Within a barrier the earlier point wins.
    screen[0][1] = {99, 99};
    EXPECT_TRUE(hitTestBarriers(set, screen, 100, 100, false));
    EXPECT_EQ(set.selectedPoint, 1);

    // Exactly 5 pixels away is outside; a miss clears the selection.
    EXPECT_FALSE(hitTestBarriers(set, screen, 305, 300, false));
    EXPECT_EQ(set.selectedBarrier, -1);
    EXPECT_EQ(set.selectedPoint, -1);
    EXPECT_TRUE(hitTestBarriers(set, screen, 304.9, 295.1, false));
    EXPECT_EQ(set.selectedBarrier, 1);
}

TEST(barrierHitTest, drawingModesAndStaleScreenCopies) {
    BarrierSet set = sample();
    const BarrierScreenCopy screen{{{0, 0}}};
    select(set, 2, 1);
    set.drawing = true;
    hitTestBarriers(set, screen, 0, 0, false);
    EXPECT_EQ(set.selectedBarrier, 2) << "nothing changes while drawing";
    set.drawing = false;
    hitTestBarriers(set, screen, 0, 0, true);
    EXPECT_EQ(set.selectedBarrier, 2) << "nor in another drawing mode";

    // A copy drawn before a deletion holds more points than the set: never select those.
    BarrierSet small;
    small.barriers.push_back(Barrier{{{0, 0}}});
    const BarrierScreenCopy stale{{{50, 50}, {0, 0}}, {{0, 0}}};
    EXPECT_FALSE(hitTestBarriers(small, stale, 0, 0, false));
    EXPECT_FALSE(hasSelectedPoint(small));
}

TEST(barrierDrawing, clicksStartAndExtendBarriers) {
    BarrierSet set;
    startNewBarrier(set);
    EXPECT_TRUE(set.drawing);
    addBarrierPoint(set, {1, 1});
    ASSERT_EQ(set.barriers.size(), 1u);
    EXPECT_EQ(set.selectedBarrier, 0);
    EXPECT_EQ(set.selectedPoint, -1);
    addBarrierPoint(set, {2, 2});
    EXPECT_EQ(set.barriers[0].points.size(), 2u);

    // New barrier: the next click starts another one.
    startNewBarrier(set);
    addBarrierPoint(set, {3, 3});
    ASSERT_EQ(set.barriers.size(), 2u);
    EXPECT_EQ(set.selectedBarrier, 1);

    // Continue the barrier: clicks go to the end of the selected barrier.
    set.drawing = false;
    select(set, 0, 0);
    ASSERT_TRUE(continueBarrier(set));
    EXPECT_TRUE(set.drawing);
    addBarrierPoint(set, {4, 4});
    EXPECT_EQ(lons(set.barriers[0]), (std::vector<float>{1, 2, 4}));

    // Without a selected point there is nothing to continue.
    BarrierSet empty;
    EXPECT_FALSE(continueBarrier(empty));
    EXPECT_FALSE(empty.drawing);
}

TEST(barrierEdits, menuEntriesOffered) {
    BarrierSet set = sample();
    using E = BarrierMenuEntry;
    EXPECT_TRUE(barrierMenuOffers(set, E::RemoveAll));
    EXPECT_TRUE(barrierMenuOffers(set, E::NewBarrier));
    EXPECT_FALSE(barrierMenuOffers(set, E::DeletePoint));
    EXPECT_FALSE(barrierMenuOffers(BarrierSet{}, E::RemoveAll));

    select(set, 0, 0);
    EXPECT_FALSE(barrierMenuOffers(set, E::RemoveAll));
    EXPECT_FALSE(barrierMenuOffers(set, E::NewBarrier));
    EXPECT_TRUE(barrierMenuOffers(set, E::ContinueBarrier));
    EXPECT_TRUE(barrierMenuOffers(set, E::DeletePoint));
    EXPECT_TRUE(barrierMenuOffers(set, E::DeleteBarrier));
    EXPECT_FALSE(barrierMenuOffers(set, E::DeletePointsBefore)); // first point
    EXPECT_TRUE(barrierMenuOffers(set, E::DeletePointsAfter));
    select(set, 0, 2);
    EXPECT_TRUE(barrierMenuOffers(set, E::DeletePointsBefore));
    EXPECT_FALSE(barrierMenuOffers(set, E::DeletePointsAfter)); // last point
    select(set, 1, 0);
    EXPECT_FALSE(barrierMenuOffers(set, E::DeletePointsBefore));
    EXPECT_FALSE(barrierMenuOffers(set, E::DeletePointsAfter));

    // A selection pointing past the data counts as none.
    select(set, 1, 1);
    EXPECT_FALSE(hasSelectedPoint(set));
    EXPECT_TRUE(barrierMenuOffers(set, E::NewBarrier));
    select(set, 7, 0);
    EXPECT_FALSE(barrierMenuOffers(set, E::DeleteBarrier));
}

TEST(barrierEdits, deletions) {
    BarrierSet set = sample();
    select(set, 0, 1);
    ASSERT_TRUE(deleteSelectedPoint(set));
    EXPECT_EQ(lons(set.barriers[0]), (std::vector<float>{0, 2}));
    EXPECT_FALSE(hasSelectedPoint(set));

    // The only point of a barrier takes the barrier with it.
    select(set, 1, 0);
    ASSERT_TRUE(deleteSelectedPoint(set));
    ASSERT_EQ(set.barriers.size(), 2u);
    EXPECT_EQ(lons(set.barriers[1]), (std::vector<float>{20, 21}));

    // Before and after may leave a one-point barrier, which stays.
    select(set, 1, 1);
    ASSERT_TRUE(deletePointsBefore(set));
    EXPECT_EQ(lons(set.barriers[1]), (std::vector<float>{21}));
    select(set, 0, 0);
    ASSERT_TRUE(deletePointsAfter(set));
    EXPECT_EQ(lons(set.barriers[0]), (std::vector<float>{0}));
    EXPECT_EQ(set.barriers.size(), 2u);

    // Not offered: nothing changes.
    select(set, 0, 0);
    EXPECT_FALSE(deletePointsBefore(set));
    EXPECT_FALSE(deletePointsAfter(set));
    select(set, 5, 0);
    EXPECT_FALSE(deleteSelectedPoint(set));
    EXPECT_FALSE(deleteSelectedBarrier(set));
    EXPECT_EQ(set.barriers.size(), 2u);

    select(set, 0, 0);
    ASSERT_TRUE(deleteSelectedBarrier(set));
    ASSERT_EQ(set.barriers.size(), 1u);
    EXPECT_EQ(lons(set.barriers[0]), (std::vector<float>{21}));

    removeAllBarriers(set);
    EXPECT_TRUE(set.barriers.empty());
    EXPECT_EQ(set.selectedBarrier, -1);
}

TEST(barrierFiles, removeAllThenSaveWritesEmptyGpxAndFilesAppend) {
    const auto dir =
        std::filesystem::temp_directory_path() / ("navorel-barriers-" + std::to_string(::getpid()));
    std::filesystem::create_directories(dir);
    const std::string file = (dir / "Barriers.gpx").string();
    std::string error;

    BarrierSet set = sample();
    ASSERT_TRUE(saveBarrierFile(file, set, error)) << error;
    BarrierSet loaded;
    loaded.barriers.push_back(Barrier{{{9, 9}}});
    select(loaded, 0, 0);
    ASSERT_TRUE(addBarrierFile(file, loaded, error)) << error;
    ASSERT_EQ(loaded.barriers.size(), 4u);
    EXPECT_EQ(lons(loaded.barriers[3]), (std::vector<float>{20, 21}));
    EXPECT_TRUE(hasSelectedPoint(loaded)) << "appending keeps the selection valid";

    removeAllBarriers(set);
    ASSERT_TRUE(saveBarrierFile(file, set, error)) << error;
    std::vector<std::vector<GeoPoint>> back;
    ASSERT_TRUE(loadZoneOutlines(file, back, error));
    EXPECT_TRUE(back.empty());
    EXPECT_EQ(barriersGpx({}), "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"Navorel\" "
                               "xmlns=\"http://www.topografix.com/GPX/1/1\" />\n");

    EXPECT_FALSE(addBarrierFile((dir / "missing.gpx").string(), loaded, error));
    EXPECT_EQ(loaded.barriers.size(), 4u);
    std::filesystem::remove_all(dir);
}
