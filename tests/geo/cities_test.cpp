#include "geo/cities.h"

#include "core/file_check.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>

#include <string>
#include <vector>

using namespace navorel;

namespace {

std::vector<std::string> namesSeen(const CityStore& store, const CityView& view,
                                   const CitySwitches& kinds = {true, true, true}) {
    std::vector<std::string> names;
    forEachVisibleCity(store, view, kinds,
                       [&](const CityRecord& t, double) { names.push_back(t.name); });
    return names;
}

} // namespace

TEST(CitiesReader, KeepsOnlyUsableLines) {
    const std::string name59(59, 'a'), name60(60, 'b');
    const std::string text = "US\t1\tPort_Louis\t5000\t42.5\t-70.5\n" // kept, spaces
                             "US\t2\tLakeside\t3000\t42.6\t-70.4\r\n" // CRLF
                             "US\t9\tCapital\t9000\t42.7\t-70.3\n"    //
                             "US\t3\tKindThree\t9000\t42.1\t-70.1\n"  // other kind
                             "US\t0\tKindZero\t9000\t42.1\t-70.1\n"   //
                             "\n"                                     // blank
                             "US\t1\tShort\t100\t42.1\n"              // five fields
                             "USAX\t1\tLongCode\t100\t42.1\t-70.1\n"  // code of 4
                             "US\t1\t" +
                             name59 +
                             "\t100\t42.1\t-70.1\n" // kept
                             "US\t1\t" +
                             name60 +
                             "\t100\t42.1\t-70.1\n"                       // no terminator room
                             "US\t1\tPole\t100\t90\t10\n"                 // latitude 90
                             "US\t1\tNaNLat\t100\tnan\t10\n"              //
                             "US\t1\tBadPop\t1e3\t42.1\t-70.1\n"          //
                             "US\t1\tHugePop\t99999999999\t42.1\t-70.1\n" //
                             "US\t1\tLong" +
                             std::string(250, 'x') + "\t1\t42.1\t-70.1\n";
    CityStore store;
    EXPECT_EQ(parseCities(text, store), 4u);
    const CityCell* cell = store.cell(289, 42);
    ASSERT_NE(cell, nullptr);
    ASSERT_EQ(cell->coastal.size(), 2u);
    EXPECT_EQ(cell->coastal[0].name, "Port Louis");
    EXPECT_EQ(cell->coastal[0].code, "US");
    EXPECT_EQ(cell->coastal[1].name, name59);
    ASSERT_EQ(cell->lakes.size(), 1u);
    EXPECT_EQ(cell->lakes[0].name, "Lakeside");
    ASSERT_EQ(cell->capitals.size(), 1u);
    EXPECT_EQ(cell->capitals[0].population, 9000);
    // Reading again replaces the towns.
    EXPECT_EQ(parseCities("XX\t9\tOnly\t1\t0.5\t0.5\n", store), 1u);
    EXPECT_EQ(store.cell(289, 42), nullptr);
}

TEST(CitiesReader, LongitudesFallIntoTheirCells) {
    struct Case {
        const char* lon;
        int cell;
    } cases[] = {{"-0.5", 359}, {"0", 0},      {"359.9", 359},  {"360", 0},
                 {"725.5", 5},  {"-180", 180}, {"-360.5", 359}, {"1e30", -1}};
    for (const Case& c : cases) {
        CityStore store;
        parseCities(std::string("XX\t1\tTown\t1\t10.5\t") + c.lon + "\n", store);
        if (c.cell < 0) continue; // any cell, but no crash
        ASSERT_NE(store.cell(c.cell, 10), nullptr) << c.lon;
        EXPECT_EQ(store.cell(c.cell, 10)->coastal.size(), 1u) << c.lon;
    }
    CityStore store;
    parseCities("XX\t1\tSouth\t1\t-0.5\t0.5\n", store);
    EXPECT_NE(store.cell(0, -1), nullptr);
}

TEST(CitiesReader, MissingFileGivesAnEmptyStore) {
    CityStore store;
    parseCities("XX\t1\tTown\t1\t10.5\t0\n", store);
    EXPECT_EQ(loadCities("/nonexistent/Cities.txt", store), 0u);
    EXPECT_EQ(store.cell(0, 10), nullptr);
}

// Cities.txt goes through the same guard as the other readers: a FIFO, a device and a file
// larger than a text file can be are refused at once (a FIFO used to block the start-up, and
// /dev/zero to fill 1.7 GB before the program aborted).
TEST(CitiesReader, OnlyARegularFileOfATextFilesSizeIsRead) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("navorel-cities-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    ::alarm(20); // a reader stuck on the FIFO ends this program, not the whole run
    const std::string town = "XX\t1\tTown\t1\t10.5\t0\n";
    const fs::path fifo = dir / "fifo.txt", large = dir / "large.txt", fine = dir / "fine.txt";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    std::ofstream(fine, std::ios::binary) << town;
    // A usable first line, then a hole up to one byte past the limit.
    std::ofstream(large, std::ios::binary) << town;
    fs::resize_file(large, kMaxTextFileBytes + 1);
    const struct {
        fs::path path;
        std::size_t towns;
    } cases[] = {{fine, 1}, {fifo, 0}, {large, 0}, {"/dev/zero", 0}, {dir, 0}};
    for (const auto& c : cases) {
        CityStore store;
        parseCities(town, store); // what was there before is cleared in every case
        EXPECT_EQ(loadCities(c.path.string(), store), c.towns) << c.path;
        EXPECT_EQ(store.townCount(), c.towns) << c.path;
    }
    ::alarm(0);
    fs::remove_all(dir);
}

TEST(CitiesDrawing, PopulationThresholdByZoom) {
    const std::pair<double, int> rows[] = {
        {2000, 0},    {1500, 1000}, {1001, 1000},   {1000, 2000},  {750, 3000},  {501, 3000},
        {500, 5000},  {300, 10000}, {250, 15000},   {200, 20000},  {150, 35000}, {100, 50000},
        {50, 100000}, {30, 500000}, {20.5, 500000}, {20, 1000000}, {1, 1000000}};
    for (const auto& [zoom, population] : rows)
        EXPECT_EQ(cityPopulationThreshold(zoom), population) << zoom;
}

TEST(CitiesDrawing, VisibleTownsFollowViewKindsAndPopulation) {
    CityStore store;
    parseCities("XX\t1\tZero\t0\t0.5\t-0.5\n"
                "XX\t1\tWest\t5000\t0.5\t-0.5\n"
                "XX\t2\tLake\t5000\t0.5\t0.5\n"
                "XX\t9\tCap\t5000\t0.6\t0.5\n"
                "XX\t1\tSmall\t4000\t0.5\t0.2\n"
                "XX\t1\tDateLine\t5000\t0.5\t-179.5\n",
                store);
    // Population 0 never shows, even at the largest zoom; -0.5 is drawn on a view from -1 to 1.
    EXPECT_EQ(namesSeen(store, {-1, 1, -1, 1, 5000}),
              (std::vector<std::string>{"West", "Small", "Lake", "Cap"}));
    // At zoom 400 the threshold is 5000: strictly above only.
    EXPECT_TRUE(namesSeen(store, {-1, 1, -1, 1, 400}).empty());
    EXPECT_EQ(namesSeen(store, {-1, 1, -1, 1, 5000}, {false, true, false}),
              std::vector<std::string>{"Lake"});
    EXPECT_TRUE(namesSeen(store, {-1, 1, -1, 1, 5000}, {false, false, false}).empty());
    EXPECT_TRUE(namesSeen(store, {-1, 1, 0.55, 1, 5000}, {false, false, true}).size() == 1);
    // Past the date line the town is placed one turn east.
    double shownAt = 0;
    forEachVisibleCity(store, {179, 181, 0, 1, 5000}, {true, false, false},
                       [&](const CityRecord&, double lon) { shownAt = lon; });
    EXPECT_DOUBLE_EQ(shownAt, 180.5);
}

// The shipped file as the generator made it: towns near the sea are coastal, towns on the
// Great Lakes are lake towns, national capitals are capitals, inland towns are left out.
TEST(CitiesFile, KnownTownsHaveTheirKinds) {
    CityStore store;
    ASSERT_GT(loadCities(std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Cities/Cities.txt", store),
              20000u);
    const auto kindOf = [&store](const char* name, double lon, double lat) {
        const int lonIndex = static_cast<int>(std::floor(lon < 0 ? lon + 360 : lon));
        const CityCell* cell = store.cell(lonIndex, static_cast<int>(std::floor(lat)));
        if (!cell) return 0;
        const std::pair<const std::vector<CityRecord>*, int> lists[] = {
            {&cell->coastal, 1}, {&cell->lakes, 2}, {&cell->capitals, 9}};
        for (const auto& [list, kind] : lists)
            for (const CityRecord& town : *list)
                if (town.name == name && town.code == "US") return kind;
        return 0;
    };
    struct Case {
        const char* name;
        double lon, lat;
        int kind; // 0: not in the file
    };
    const Case cases[] = {{"Boston", -71.06, 42.36, 1},
                          {"Provincetown", -70.19, 42.05, 1},
                          {"Chicago", -87.65, 41.85, 2},
                          {"Denver", -104.98, 39.74, 0},
                          {"Washington, D.C.", -77.04, 38.9, 9}};
    for (const Case& c : cases) EXPECT_EQ(kindOf(c.name, c.lon, c.lat), c.kind) << c.name;
}
