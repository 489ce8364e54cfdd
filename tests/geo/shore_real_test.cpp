// The shoreline files built from GSHHG (scripts/setup-data.sh) against places everybody
// knows and against gmt's own land/water classification. Skipped when the files or gmt are
// not there.
#include "geo/crossing.h"
#include "geo/shoreline_store.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

using namespace navorel;

namespace {

std::string shoreFolder() {
    if (const char* dir = std::getenv("NAVOREL_SHORE_DIR")) return dir;
    return std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Gshhs/";
}

bool haveLevel(int level) {
    return std::filesystem::exists(shorelineFileName(shoreFolder(), level));
}

#define REQUIRE_LEVEL(level)                                                                       \
    if (!haveLevel(level))                                                                         \
    GTEST_SKIP() << "no " << shorelineFileName(shoreFolder(), level)                               \
                 << " (run scripts/setup-data.sh --tests)"

GeoPoint at(float lon, float lat) {
    return {lon, lat};
}

struct Place {
    const char* name;
    GeoPoint where;
    bool land;
};

const Place kPlaces[] = {
    {"Paris", at(2.35f, 48.86f), true},
    {"Madrid", at(-3.70f, 40.42f), true},
    {"middle of Lake Geneva", at(6.55f, 46.45f), true}, // a lake counts as land
    {"Bay of Biscay", at(-5.0f, 45.5f), false},
    {"North Sea", at(3.0f, 56.0f), false},
    {"Pacific at 180 E", at(180.0f, 0.0f), false},
    {"Pacific at 180 W", at(-180.0f, 0.0f), false},
    {"South Pole, east of Greenwich", at(0.5f, -89.5f), true},
    {"South Pole, west of Greenwich", at(-0.5f, -89.5f), true},
    {"Antarctica near the date line", at(179.9f, -85.0f), true},
    {"Antarctica near the date line, west", at(-179.9f, -85.0f), true},
    {"North Pole", at(10.0f, 89.9f), false},
    {"Greenland", at(-40.0f, 75.0f), true},
    {"English Channel on the prime meridian", at(0.0f, 50.2f), false},
    {"Normandy on the prime meridian", at(0.0f, 49.0f), true},
};

} // namespace

TEST(ShoreRealData, KnownPlacesAtEveryBuiltLevel) {
    int tested = 0;
    for (int level = 0; level <= 4; ++level) {
        if (!haveLevel(level)) continue;
        ShorelineStore store(shoreFolder());
        ASSERT_TRUE(store.openLevel(level));
        for (const Place& p : kPlaces)
            EXPECT_EQ(pointOnLand(store, p.where), p.land) << p.name << " at level " << level;
        ++tested;
    }
    if (tested == 0) GTEST_SKIP() << "no shoreline files in " << shoreFolder();
}

TEST(ShoreRealData, MovesAroundBrittany) {
    REQUIRE_LEVEL(2);
    ShorelineStore store(shoreFolder());
    ASSERT_TRUE(store.openLevel(2));
    const GeoPoint offBrest = at(-4.90f, 48.20f), plymouth = at(-4.15f, 50.30f);
    const GeoPoint brest = at(-4.49f, 48.38f), lorient = at(-3.37f, 47.72f);
    EXPECT_FALSE(pointOnLand(store, offBrest));
    EXPECT_FALSE(pointOnLand(store, plymouth));
    EXPECT_FALSE(segmentCrossesLand(store, offBrest, plymouth));
    EXPECT_FALSE(segmentCrossesLand(store, plymouth, offBrest));
    // Straight over the Breton peninsula.
    EXPECT_TRUE(segmentCrossesLand(store, brest, lorient));
    EXPECT_TRUE(segmentCrossesLand(store, lorient, brest));
}

TEST(ShoreRealData, MovesOverTheSeams) {
    REQUIRE_LEVEL(2);
    ShorelineStore store(shoreFolder());
    ASSERT_TRUE(store.openLevel(2));
    // Open Pacific on both sides of the date line, either way round.
    EXPECT_FALSE(segmentCrossesLand(store, at(179.5f, 0.5f), at(-179.5f, 0.5f)));
    EXPECT_FALSE(segmentCrossesLand(store, at(-179.5f, 0.5f), at(179.5f, 0.5f)));
    // Fiji's Taveuni lies across the date line (about 179.9 E .. 179.8 W, 16.7..17.0 S).
    EXPECT_TRUE(segmentCrossesLand(store, at(179.5f, -16.85f), at(-179.5f, -16.85f)));
    // The Channel across Greenwich is clear; from it onto Normandy crosses the coast.
    EXPECT_FALSE(segmentCrossesLand(store, at(-0.5f, 50.2f), at(0.5f, 50.2f)));
    EXPECT_TRUE(segmentCrossesLand(store, at(-0.3f, 50.0f), at(0.4f, 49.2f)));
    // Antarctica's coast at Greenwich is crossed; the artificial edges along 0/360 and along
    // the pole are not.
    EXPECT_TRUE(segmentCrossesLand(store, at(0.2f, -60.0f), at(0.2f, -75.0f)));
    EXPECT_FALSE(segmentCrossesLand(store, at(-0.5f, -85.0f), at(0.5f, -85.0f)));
    EXPECT_FALSE(segmentCrossesLand(store, at(10.0f, -89.9f), at(-10.0f, -89.9f)));
}

namespace {

// Classifies the points with `gmt select -D<letter> -N<flags>`, once per set of flags (the
// runs go side by side), and marks for each set the points gmt keeps.
bool gmtKeeps(char letter, const std::vector<const char*>& flags,
              const std::vector<GeoPoint>& points, std::vector<std::vector<char>>& kept) {
    const std::string base =
        testing::TempDir() + "navorel_shore_" + std::to_string(getpid()) + "_" + letter;
    const std::string input = base + "_points.txt";
    std::FILE* f = std::fopen(input.c_str(), "w");
    if (!f) return false;
    for (std::size_t i = 0; i < points.size(); ++i)
        std::fprintf(f, "%.9g %.9g %zu\n", points[i].lon, points[i].lat, i);
    std::fclose(f);
    std::string command = "(";
    for (std::size_t k = 0; k < flags.size(); ++k)
        command += std::string("gmt select -Rg -D") + letter + " -A0 -N" + flags[k] +
                   " --GMT_HISTORY=false " + input + " > " + base + "_" + std::to_string(k) +
                   ".txt & ";
    command += "wait) 2>/dev/null";
    const bool ran = std::system(command.c_str()) == 0;
    kept.assign(flags.size(), std::vector<char>(points.size(), 0));
    std::size_t lines = 0;
    for (std::size_t k = 0; k < flags.size(); ++k) {
        const std::string output = base + "_" + std::to_string(k) + ".txt";
        if (std::FILE* in = std::fopen(output.c_str(), "r")) {
            double lon, lat, index;
            while (std::fscanf(in, "%lf %lf %lf", &lon, &lat, &index) == 3) {
                if (index >= 0 && index < static_cast<double>(points.size()))
                    kept[k][static_cast<std::size_t>(index)] = 1;
                ++lines;
            }
            std::fclose(in);
        }
        std::remove(output.c_str());
    }
    std::remove(input.c_str());
    return ran && lines > 0;
}

void agreeWithGmt(int level) {
    if (!haveLevel(level)) GTEST_SKIP() << "no " << shorelineFileName(shoreFolder(), level);
    if (std::system("gmt --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "gmt not installed";
    ShorelineStore store(shoreFolder());
    ASSERT_TRUE(store.openLevel(level));

    std::mt19937 random(20240601u + static_cast<unsigned>(level));
    std::uniform_real_distribution<float> lon(-180.0f, 180.0f), lat(-90.0f, 90.0f);
    std::vector<GeoPoint> points(20000);
    for (GeoPoint& p : points) p = {lon(random), lat(random)};
    const char letter = shorelineLevelLetter(level);

    // Land block: inside anything but the ocean (lakes and what lies in them count as land).
    // Lake block: inside a lake, with its islands and ponds.
    std::vector<std::vector<char>> kept;
    ASSERT_TRUE(gmtKeeps(letter, {"s/k/k/k/k", "s/s/k/k/k"}, points, kept));
    const std::vector<char>& gmtLand = kept[0];
    const std::vector<char>& gmtLake = kept[1];

    int landAgree = 0, lakeAgree = 0, landCount = 0, lakeCount = 0;
    for (std::size_t i = 0; i < points.size(); ++i) {
        const GeoPoint p = points[i];
        const bool land = pointOnLand(store, p);
        const int x = static_cast<int>(std::floor(p.lon)), y = static_cast<int>(std::floor(p.lat));
        const bool lake = pointInContours(store.cellAt(x, y).lakes, x, p);
        landAgree += land == (gmtLand[i] != 0);
        lakeAgree += lake == (gmtLake[i] != 0);
        landCount += gmtLand[i];
        lakeCount += gmtLake[i];
    }
    const double n = static_cast<double>(points.size());
    std::printf("level %c: %d land and %d lake points of 20000; agreement land %.4f %%, "
                "lakes %.4f %%\n",
                letter, landCount, lakeCount, 100.0 * landAgree / n, 100.0 * lakeAgree / n);
    EXPECT_GT(landCount, 4000); // a real classification, not an empty answer
    EXPECT_GE(landAgree, points.size() - 4);
    EXPECT_GE(lakeAgree, points.size() - 2);
}

} // namespace

TEST(ShoreRealData, AgreesWithGmtAtLevel0) {
    agreeWithGmt(0);
}
TEST(ShoreRealData, AgreesWithGmtAtLevel1) {
    agreeWithGmt(1);
}
TEST(ShoreRealData, AgreesWithGmtAtLevel2) {
    agreeWithGmt(2);
}

// The fine levels take longer to build and to classify: run by hand with
// NAVOREL_SHORE_FINE=1.
TEST(ShoreRealData, AgreesWithGmtAtLevel3) {
    if (!std::getenv("NAVOREL_SHORE_FINE")) GTEST_SKIP() << "set NAVOREL_SHORE_FINE=1";
    agreeWithGmt(3);
}
TEST(ShoreRealData, AgreesWithGmtAtLevel4) {
    if (!std::getenv("NAVOREL_SHORE_FINE")) GTEST_SKIP() << "set NAVOREL_SHORE_FINE=1";
    agreeWithGmt(4);
}
