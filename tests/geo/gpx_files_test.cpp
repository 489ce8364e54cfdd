// GPX files on disk: loading, the replacing save and what a failed save leaves behind.
#include "geo/gpx.h"

#include <gtest/gtest.h>

#include <cmath>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace navorel;
namespace fs = std::filesystem;

namespace {

class GpxFiles : public ::testing::Test {
  protected:
    void SetUp() override {
        const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
        dir = fs::temp_directory_path() /
              ("navorel-gpx-" + std::to_string(::getpid()) + "-" + info->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string path(const std::string& name) const { return (dir / name).string(); }

    static std::string read(const std::string& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    }
    static void write(const std::string& p, const std::string& text) {
        std::ofstream(p, std::ios::binary) << text;
    }
    std::size_t entries() const {
        return static_cast<std::size_t>(std::distance(fs::directory_iterator(dir), {}));
    }

    fs::path dir;
};

std::string fixture(const std::string& name) {
    return std::string(NAVOREL_TEST_DATA) + "/gpx/" + name;
}

} // namespace

TEST_F(GpxFiles, saveAndLoadRoundTrips) {
    std::string error;
    const std::vector<GeoPoint> route{{-5.5f, 43.5f}, {-6.25f, 44.0f}};
    ASSERT_TRUE(saveUserRoute(path("Route.gpx"), route, error)) << error;
    EXPECT_EQ(read(path("Route.gpx")), userRouteGpx(route));
    std::vector<GeoPoint> back;
    ASSERT_TRUE(loadUserRoute(path("Route.gpx"), back, error)) << error;
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[1].lat, 44.0f);

    BarrierList barriers{Barrier{{{1, 2}, {3, 4}}}, Barrier{}};
    ASSERT_TRUE(saveBarriers(path("Barriers.gpx"), barriers, error)) << error;
    // Loading appends to what is there.
    ASSERT_TRUE(loadBarriers(path("Barriers.gpx"), barriers, error)) << error;
    ASSERT_EQ(barriers.size(), 4u);
    EXPECT_EQ(barriers[2].points.size(), 2u);
    EXPECT_TRUE(barriers[3].points.empty());

    WaypointSet set;
    addWaypoint(set, {-4.5f, 48.25f}, "Brest");
    ASSERT_TRUE(saveWaypointSet(path("Waypoints.gpx"), set, error)) << error;
    ASSERT_TRUE(loadWaypointSet(path("Waypoints.gpx"), set, error)) << error;
    ASSERT_EQ(set.names.size(), 2u);
    EXPECT_EQ(set.names[1], "Brest");

    std::vector<std::vector<GeoPoint>> zones;
    ASSERT_TRUE(loadZoneOutlines(path("Barriers.gpx"), zones, error)) << error;
    EXPECT_EQ(zones.size(), 2u);
    EXPECT_EQ(entries(), 3u) << "no temporary file is left behind";
}

TEST_F(GpxFiles, fixturesFromElsewhere) {
    std::string error;
    // A GPX 1.1 file with a namespace, metadata, names and a track.
    std::vector<GeoPoint> route;
    ASSERT_TRUE(loadUserRoute(fixture("other_program.gpx"), route, error)) << error;
    ASSERT_EQ(route.size(), 3u);
    EXPECT_EQ(route[2].lat, 42.3f);
    EXPECT_EQ(route[2].lon, -70.5f);
    WaypointSet set;
    ASSERT_TRUE(loadWaypointSet(fixture("other_program.gpx"), set, error)) << error;
    ASSERT_EQ(set.names.size(), 2u);
    EXPECT_EQ(set.names[0], "Portland & Casco Bay");
    EXPECT_EQ(set.names[1], "Stellwagen <bank>");
    EXPECT_EQ(set.positions[1].lon, -70.0f); // attribute order does not matter
    BarrierList barriers;
    ASSERT_TRUE(loadBarriers(fixture("other_program.gpx"), barriers, error)) << error;
    EXPECT_EQ(barriers.size(), 2u);

    // UTF-16 with a byte-order mark is recognised.
    ASSERT_TRUE(loadUserRoute(fixture("route_utf16.gpx"), route, error)) << error;
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0].lat, 47.25f);

    ASSERT_TRUE(loadUserRoute(fixture("comma_decimals.gpx"), route, error)) << error;
    EXPECT_EQ(route[0].lat, 43.5f);
    EXPECT_EQ(route[0].lon, -5.25f);
    ASSERT_TRUE(loadWaypointSet(fixture("comma_decimals.gpx"), set, error)) << error;
    EXPECT_EQ(set.names.size(), 2u) << "a route file holds no wpt";
}

TEST_F(GpxFiles, unreadableFileKeepsPreviousData) {
    std::string error;
    std::vector<GeoPoint> route{{1, 2}};
    EXPECT_FALSE(loadUserRoute(fixture("bad_coordinate.gpx"), route, error));
    EXPECT_NE(error.find("bad_coordinate.gpx: line 7: latitude \"north\" is not a number"),
              std::string::npos)
        << error;
    ASSERT_EQ(route.size(), 1u);
    EXPECT_EQ(route[0].lat, 2.0f);

    BarrierList barriers{Barrier{{{1, 2}}}};
    EXPECT_FALSE(loadBarriers(fixture("bad_coordinate.gpx"), barriers, error));
    EXPECT_EQ(barriers.size(), 1u);
    std::vector<std::vector<GeoPoint>> zones;
    EXPECT_FALSE(loadZoneOutlines(fixture("bad_coordinate.gpx"), zones, error));
    EXPECT_TRUE(zones.empty());

    // Missing files, folders and oversized files are refused with a message.
    for (const std::string& p : {path("missing.gpx"), dir.string()}) {
        error.clear();
        EXPECT_FALSE(loadUserRoute(p, route, error)) << p;
        EXPECT_EQ(error.rfind(p + ": ", 0), 0u) << error;
        EXPECT_EQ(route.size(), 1u);
    }
    {
        std::ofstream big(path("big.gpx"), std::ios::binary);
        big.seekp(kMaxGpxFileBytes);
        big.put('\n');
    }
    EXPECT_FALSE(loadUserRoute(path("big.gpx"), route, error));
    EXPECT_NE(error.find("too large"), std::string::npos) << error;
}

TEST_F(GpxFiles, failedSaveReportsAndLeavesOldFileWhole) {
    std::string error;
    // The parent is a regular file: nothing can be created there.
    write(path("plain"), "x");
    EXPECT_FALSE(saveUserRoute(path("plain") + "/Route.gpx", {{1, 2}}, error));
    EXPECT_NE(error.find(path("plain") + "/Route.gpx"), std::string::npos) << error;
    EXPECT_EQ(read(path("plain")), "x");

    // A write that fails half-way (file size limit) keeps the previous file intact.
    const std::string target = path("Barriers.gpx");
    const BarrierList old{Barrier{{{1, 2}}}};
    ASSERT_TRUE(saveBarriers(target, old, error)) << error;
    const std::string oldText = read(target);

    BarrierList huge(1);
    huge[0].points.assign(20000, GeoPoint{-123.456f, 45.6789f});
    rlimit saved{};
    ASSERT_EQ(::getrlimit(RLIMIT_FSIZE, &saved), 0);
    auto* previous = std::signal(SIGXFSZ, SIG_IGN);
    rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &small), 0);
    error.clear();
    const bool saved2 = saveBarriers(target, huge, error);
    ::setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, previous);

    EXPECT_FALSE(saved2);
    EXPECT_NE(error.find("cannot write " + target), std::string::npos) << error;
    EXPECT_EQ(read(target), oldText);
    EXPECT_EQ(entries(), 2u) << "the temporary file is removed";
}

TEST_F(GpxFiles, saveKeepsPermissionsOfReplacedFile) {
    std::string error;
    const std::string target = path("Route.gpx");
    write(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0640), 0);
    ASSERT_TRUE(saveUserRoute(target, {}, error)) << error;
    struct stat st {};
    ASSERT_EQ(::stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0777, 0640u);
    EXPECT_EQ(read(target), "<?xml version=\"1.0\"?>\n<gpx version=\"1.1\" creator=\"Navorel\" "
                            "xmlns=\"http://www.topografix.com/GPX/1/1\">\n\t<rte />\n</gpx>\n");
}

TEST_F(GpxFiles, exportRefusesMissingResult) {
    std::string error;
    EXPECT_FALSE(exportRoutingResult(path("out.gpx"), {}, error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(exportRoutingResult(path("out.gpx"), {{{1, 2}, std::nan("")}}, error));
    EXPECT_FALSE(fs::exists(path("out.gpx")));
}

TEST_F(GpxFiles, exportReadableByGpsbabel) {
    if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "gpsbabel is not installed";
    std::string error;
    const std::string out = path("export.gpx");
    ASSERT_TRUE(exportRoutingResult(out, {{{-70.25f, 43.5f}, 16000.25}, {{-70.0f, 43.0f}, 16000.5}},
                                    error, "Routing 2"))
        << error;
    // Routes are what gpsbabel reads with -r; each point comes with its date and time.
    const std::string csv = path("export.csv");
    const std::string command = "gpsbabel -r -i gpx -f '" + out + "' -o unicsv -F '" + csv + "'";
    ASSERT_EQ(std::system(command.c_str()), 0) << command;
    const std::string text = read(csv);
    EXPECT_EQ(text.rfind("No,Latitude,Longitude,Name,Date,Time", 0), 0u) << text;
    EXPECT_NE(text.find("1,43.500000,-70.250000,\"22/10 06:00\",2023/10/22,06:00:00"),
              std::string::npos)
        << text;
    EXPECT_NE(text.find("2,43.000000,-70.000000,\"22/10 12:00\",2023/10/22,12:00:00"),
              std::string::npos)
        << text;
}
