// Reading polygon files: levels and file names, the cell index, vertex conversion, the
// cache, and files that are short or corrupt.
#include "geo/crossing.h"
#include "geo/shoreline_store.h"
#include "shore_test_files.h"

#include <gtest/gtest.h>

#include <thread>

using namespace navorel;
using namespace shore_test;

namespace {

// A folder with all five levels; level L's file holds one island in cell (L, 0) so each test
// can see which file was opened.
std::string folderWithLevels() {
    static const std::string folder = [] {
        const std::string f = makeFolder("levels");
        for (int level = 0; level <= 4; ++level) {
            std::map<std::pair<int, int>, CellData> cells;
            cells[{level, 0}].land.push_back(box(level + 0.25, 0.25, level + 0.75, 0.75));
            writeFile(shorelineFileName(f, level), makeFile(cells).data);
        }
        return f;
    }();
    return folder;
}

int islandCell(const ShorelineStore& store) {
    for (int x = 0; x <= 4; ++x)
        if (!store.cellAt(x, 0).land.empty()) return x;
    return -1;
}

} // namespace

TEST(ShoreStore, LevelsChooseTheirFiles) {
    EXPECT_EQ(shorelineFileName("/d/Gshhs/", 0), "/d/Gshhs/poly-c-1.dat");
    EXPECT_EQ(shorelineFileName("/d/Gshhs", 3), "/d/Gshhs/poly-h-1.dat");
    EXPECT_EQ(shorelineLevelLetter(-1), 'c');
    EXPECT_EQ(shorelineLevelLetter(2), 'i');
    EXPECT_EQ(shorelineLevelLetter(7), 'f');
    EXPECT_EQ(shorelineLevelStatusText(0), "Gshhs [0 . . . .]");
    EXPECT_EQ(shorelineLevelStatusText(2), "Gshhs [. . 2 . .]");
    EXPECT_EQ(shorelineLevelStatusText(4), "Gshhs [. . . . 4]");

    ShorelineStore store(folderWithLevels());
    EXPECT_EQ(store.level(), -1);
    EXPECT_FALSE(store.hasFile());
    for (int level : {0, 1, 2, 3, 4}) {
        ASSERT_TRUE(store.openLevel(level));
        EXPECT_EQ(islandCell(store), level);
    }
    // Out of range: the nearest file, while the level itself is recorded.
    ASSERT_TRUE(store.openLevel(5));
    EXPECT_EQ(store.level(), 5);
    EXPECT_EQ(islandCell(store), 4);
    ASSERT_TRUE(store.openLevel(-1));
    EXPECT_EQ(store.level(), -1);
    EXPECT_EQ(islandCell(store), 0);
}

TEST(ShoreStore, ReopeningKeepsTheCacheAndChangingDropsIt) {
    ShorelineStore store(folderWithLevels());
    ASSERT_TRUE(store.openLevel(2));
    const ShorelineCell* cell = &store.cellAt(2, 0);
    store.cellAt(10, 10);
    EXPECT_EQ(store.loadedCellCount(), 2);
    ASSERT_TRUE(store.openLevel(2));
    EXPECT_EQ(store.loadedCellCount(), 2);
    EXPECT_EQ(&store.cellAt(2, 0), cell);
    ASSERT_TRUE(store.openLevel(3));
    EXPECT_EQ(store.loadedCellCount(), 0);
    EXPECT_TRUE(store.cellAt(2, 0).land.empty());
}

TEST(ShoreStore, MissingFileMeansNoLand) {
    ShorelineStore store(makeFolder("empty"));
    EXPECT_FALSE(store.openLevel(2));
    EXPECT_EQ(store.level(), 2);
    EXPECT_FALSE(store.hasFile());
    EXPECT_TRUE(store.cellAt(0, 0).land.empty());
    EXPECT_FALSE(pointOnLand(store, {0.5f, 0.5f}));
    EXPECT_FALSE(segmentCrossesLand(store, {0.1f, 0.1f}, {0.9f, 0.9f}));
}

TEST(ShoreStore, ReadsCellsAsStored) {
    const std::string folder = makeFolder("cells");
    std::map<std::pair<int, int>, CellData> cells;
    CellData& c = cells[{359, -90}];
    c.land.push_back(Ring{{{359.0, -90.0}, {360.0, -90.0}, {360.0, -89.3}, {359.0, -89.6}}});
    c.lakes.push_back(box(359.2, -89.9, 359.4, -89.8));
    c.extra.push_back(box(359.1, -89.95, 359.15, -89.9)); // finer levels: never read
    // Stored value whose float narrowing comes before the scaling: 12.3456789 degrees.
    cells[{12, 89}].land.push_back(Ring{{{12.3456789, 89.5}, {12.9, 89.5}, {12.9, 89.9}}});
    writeFile(shorelineFileName(folder, 2), makeFile(cells).data);

    ShorelineStore store(folder);
    ASSERT_TRUE(store.openLevel(2));
    const ShorelineCell& s = store.cellAt(-1, -90); // -1 is the cell 359
    EXPECT_EQ(s.lonIndex, 359);
    EXPECT_EQ(s.latIndex, -90);
    ASSERT_EQ(s.land.size(), 1u);
    ASSERT_EQ(s.lakes.size(), 1u);
    ASSERT_EQ(s.land[0].vertices.size(), 4u);
    EXPECT_EQ(s.land[0].vertices[1].lon, 360.0f);
    EXPECT_EQ(s.land[0].vertices[1].lat, -90.0f);
    EXPECT_EQ(s.land[0].vertices[2].lat, -89.3f);
    EXPECT_EQ(s.lakes[0].vertices[0].lon, 359.2f);
    EXPECT_EQ(&store.cellAt(359, -90), &s);
    EXPECT_EQ(&store.cellAt(719, -90), &s);

    const ShorelineCell& n = store.cellAt(12, 89);
    ASSERT_EQ(n.land.size(), 1u);
    const float expected = static_cast<float>(static_cast<double>(12345678.9f) * 1e-6);
    EXPECT_EQ(n.land[0].vertices[0].lon, expected);

    // Latitudes outside -90..89 have no cell.
    EXPECT_TRUE(store.cellAt(0, 90).land.empty());
    EXPECT_TRUE(store.cellAt(0, -91).land.empty());
}

TEST(ShoreStore, BorderEdgesAndVisibleCells) {
    ShorelineCell cell;
    cell.lonIndex = 10;
    cell.latIndex = -5;
    cell.west = 10;
    cell.south = -5;
    EXPECT_TRUE(isBorderEdge(cell, {10, -4.5f}, {10, -4.2f}));
    EXPECT_TRUE(isBorderEdge(cell, {11, -4.5f}, {11, -4.2f}));
    EXPECT_TRUE(isBorderEdge(cell, {10.2f, -5}, {10.7f, -5}));
    EXPECT_TRUE(isBorderEdge(cell, {10.2f, -4}, {10.7f, -4}));
    EXPECT_FALSE(isBorderEdge(cell, {10.5f, -4.5f}, {10.5f, -4.2f})); // inside the cell
    EXPECT_FALSE(isBorderEdge(cell, {10, -4.5f}, {10.001f, -4.2f}));  // leaves the border

    const auto v = visibleShorelineCells(350, 370, 10, 11);
    ASSERT_EQ(v.size(), 20u);
    EXPECT_EQ(v.front().lon, 350);
    EXPECT_EQ(v[9].lon, 359);
    EXPECT_EQ(v[10].lon, 0);
    EXPECT_EQ(v.back().lon, 9);
    const auto w = visibleShorelineCells(-2.5, -0.5, 88.2, 95);
    ASSERT_EQ(w.size(), 6u); // 357..359 by 88, 89; nothing north of 90
    EXPECT_EQ(w[0].lon, 357);
    EXPECT_EQ(w[1].lat, 89);
}

namespace {

struct Corruption {
    const char* what;
    void (*apply)(Bytes& b, std::size_t cellAt);
};

} // namespace

// Each damaged file gives an empty cell (or no file at all), never a crash or a read outside
// the file; the undamaged cell of the same file still reads.
TEST(ShoreStore, CorruptFilesGiveEmptyCells) {
    const Corruption corruptions[] = {
        {"offset past the end",
         [](Bytes& b, std::size_t) { b.setInt32(48 + 4 * (5 * 180 + 95), 0x7ffffff0); }},
        {"negative offset", [](Bytes& b, std::size_t) { b.setInt32(48 + 4 * (5 * 180 + 95), -8); }},
        {"negative contour count", [](Bytes& b, std::size_t at) { b.setInt32(at, -3); }},
        {"absurd contour count", [](Bytes& b, std::size_t at) { b.setInt32(at, 0x7fffffff); }},
        {"absurd vertex count", [](Bytes& b, std::size_t at) { b.setInt32(at + 8, 0x10000000); }},
        {"negative vertex count", [](Bytes& b, std::size_t at) { b.setInt32(at + 8, -1); }},
        {"truncated vertices", [](Bytes& b, std::size_t at) { b.data.resize(at + 40); }},
        {"truncated lake block",
         [](Bytes& b, std::size_t at) { b.data.resize(at + 12 + 4 * 16 + 2); }},
        {"not a number",
         [](Bytes& b, std::size_t at) {
             for (int i = 0; i < 8; ++i) b.data[at + 12 + i] = 0xff;
         }},
        {"beyond single precision",
         [](Bytes& b, std::size_t at) {
             const double big = 1e300;
             std::memcpy(&b.data[at + 12], &big, 8);
         }},
    };
    for (const Corruption& c : corruptions) {
        SCOPED_TRACE(c.what);
        std::map<std::pair<int, int>, CellData> cells;
        cells[{5, 5}].land.push_back(box(5.2, 5.2, 5.8, 5.8));
        cells[{5, 5}].lakes.push_back(box(5.4, 5.4, 5.6, 5.6));
        cells[{3, 3}].land.push_back(box(3.2, 3.2, 3.8, 3.8));
        std::map<std::pair<int, int>, std::size_t> offsets;
        Bytes b = makeFile(cells, &offsets);
        // Cell (5, 5) is written last, so truncating it leaves cell (3, 3) whole.
        c.apply(b, offsets[{5, 5}]);
        const std::string folder = makeFolder("corrupt");
        writeFile(shorelineFileName(folder, 0), b.data);
        ShorelineStore store(folder);
        ASSERT_TRUE(store.openLevel(0));
        EXPECT_TRUE(store.cellAt(5, 5).land.empty());
        EXPECT_TRUE(store.cellAt(5, 5).lakes.empty());
        EXPECT_FALSE(pointOnLand(store, {5.5f, 5.5f}));
        EXPECT_FALSE(segmentCrossesLand(store, {5.0f, 5.0f}, {6.0f, 6.0f}));
        EXPECT_EQ(store.cellAt(3, 3).land.size(), 1u);
    }
}

TEST(ShoreStore, UnusableHeadersLeaveNoFile) {
    const std::string folder = makeFolder("headers");
    Bytes good = makeFile({});
    Bytes shortHeader;
    shortHeader.data.assign(good.data.begin(), good.data.begin() + 30);
    Bytes zeroWidth = good;
    zeroWidth.setInt32(4, 0);
    Bytes oddHeight = good;
    oddHeight.setInt32(8, 7); // 180 is no multiple of 7
    for (const Bytes* b : {&shortHeader, &zeroWidth, &oddHeight}) {
        writeFile(shorelineFileName(folder, 1), b->data);
        ShorelineStore store(folder);
        EXPECT_FALSE(store.openLevel(1));
        EXPECT_TRUE(store.cellAt(0, 0).land.empty());
    }
    // An index cut short: the header reads, the cells do not.
    Bytes cutIndex;
    cutIndex.data.assign(good.data.begin(), good.data.begin() + 48 + 400);
    writeFile(shorelineFileName(folder, 1), cutIndex.data);
    ShorelineStore store(folder);
    ASSERT_TRUE(store.openLevel(1));
    EXPECT_TRUE(store.cellAt(200, 10).land.empty());
}

// The routing worker and the painter may ask for the same cells at once: every thread gets
// the one cell read, whole.
TEST(ShoreStore, CellsReadOnceAcrossThreads) {
    const std::string folder = makeFolder("threads");
    std::map<std::pair<int, int>, CellData> cells;
    for (int x = 0; x < 20; ++x) cells[{x, 0}].land.push_back(box(x + 0.1, 0.1, x + 0.9, 0.9));
    writeFile(shorelineFileName(folder, 0), makeFile(cells).data);
    ShorelineStore store(folder);
    ASSERT_TRUE(store.openLevel(0));
    std::vector<const ShorelineCell*> seen[4];
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int x = 0; x < 20; ++x) {
                const int i = t % 2 ? 19 - x : x;
                seen[t].push_back(&store.cellAt(i, 0));
            }
        });
    }
    for (std::thread& th : threads) th.join();
    EXPECT_EQ(store.loadedCellCount(), 20);
    for (int t = 0; t < 4; ++t) {
        for (int x = 0; x < 20; ++x) {
            const int i = t % 2 ? 19 - x : x;
            EXPECT_EQ(seen[t][static_cast<std::size_t>(x)], &store.cellAt(i, 0));
            EXPECT_EQ(seen[t][static_cast<std::size_t>(x)]->land.size(), 1u);
        }
    }
}
