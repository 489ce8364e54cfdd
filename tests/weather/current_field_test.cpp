#include "weather/current_field.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <unistd.h>

using namespace navorel;

namespace {

// A point whose spring table is 10 * (hour index) east and 1 north, neap half of that.
CurrentPoint rampPoint() {
    CurrentPoint p;
    for (int k = 0; k < 13; ++k) {
        p.springEast[k] = 10.0f * k;
        p.springNorth[k] = 1;
        p.neapEast[k] = 5.0f * k;
        p.neapNorth[k] = 0.5f;
    }
    return p;
}

// A port whose tables hold a high water at 06:00 (coefficient 95) and 18:00 (coefficient
// 45), and low waters at 00:00 (95) and 12:00 (45), on day 17000 and the next.
TideHarmonics portFixture(const char* name = "PORT") {
    TideHarmonics tides;
    tides.parseHarmonics(std::string(name) +
                         "\n0 0\n0\n0\n0 0 0 0 1000 0 0 0 0 0\n0 0 0 0 0 0 0 0 0 0\n");
    const char* table = "17000\n0 0 0.1 95\n1 0.25 2 95\n0 0.5 0.2 45\n1 0.75 1.5 45\n"
                        "17001\n0 0 0.1 95\n1 0.25 2 95\n0 0.5 0.2 45\n1 0.75 1.5 45\n";
    tides.parseTable(0, table);
    return tides;
}

// Three points of port 0 around (0, 0) .. (0.1, 0.1), one triangle.
CurrentField triangleField(const std::array<float, 3>& eastSpring) {
    CurrentField field;
    CurrentFile file;
    file.portName = "PORT";
    file.port = 0;
    const float lon[3] = {0, 0.1f, 0}, lat[3] = {0, 0, 0.1f};
    for (int j = 0; j < 3; ++j) {
        CurrentPoint p;
        p.lon = lon[j];
        p.lat = lat[j];
        p.port = 0;
        p.springEast.fill(eastSpring[j]);
        p.neapEast.fill(eastSpring[j]);
        file.points.push_back(p);
    }
    field.files.push_back(file);
    indexCurrentField(field);
    parseMeshLists("0 1 2\n", "0\n0\n0\n", field);
    return field;
}

} // namespace

TEST(currentInterpolationTest, hoursBetweenTableEntries) {
    const CurrentPoint p = rampPoint();
    double e, n;
    // Exactly at high water: the hour-0 value, whatever the neighbour.
    pointCurrent(p, 0.0, 95, e, n);
    EXPECT_DOUBLE_EQ(e, 60);
    EXPECT_DOUBLE_EQ(n, 1);
    // -2.25 h: between hours -2 (index 4) and -3 (index 3), weight 0.25 on -3.
    pointCurrent(p, -2.25, 95, e, n);
    EXPECT_DOUBLE_EQ(e, 0.75 * 40 + 0.25 * 30);
    // +6.5 h: between hour +6 and hour -6, weight 0.5.
    pointCurrent(p, 6.5, 95, e, n);
    EXPECT_DOUBLE_EQ(e, 0.5 * 120 + 0.5 * 0);
    // -6.5 h wraps the other way: between hour -6 and hour +6.
    pointCurrent(p, -6.5, 95, e, n);
    EXPECT_DOUBLE_EQ(e, 60);
    // Absurd hours stay inside the table.
    pointCurrent(p, 1e9, 95, e, n);
    EXPECT_TRUE(std::isfinite(e));
}

TEST(currentInterpolationTest, springNeapBlendByCoefficient) {
    const CurrentPoint p = rampPoint();
    double e, n;
    pointCurrent(p, 1, 45, e, n); // neap
    EXPECT_DOUBLE_EQ(e, 35);
    EXPECT_DOUBLE_EQ(n, 0.5);
    pointCurrent(p, 1, 95, e, n); // spring
    EXPECT_DOUBLE_EQ(e, 70);
    EXPECT_DOUBLE_EQ(n, 1);
    pointCurrent(p, 1, 120, e, n); // half the spring-neap difference beyond spring
    EXPECT_DOUBLE_EQ(e, 70 + 17.5);
    EXPECT_DOUBLE_EQ(n, 1.25);
    pointCurrent(p, 1, 70, e, n);
    EXPECT_DOUBLE_EQ(e, 52.5);
}

TEST(currentFieldTest, cornersInsideAndOutside) {
    const TideHarmonics tides = portFixture();
    const CurrentField field = triangleField({1, 2, 3});
    const double hw = 17000.25;
    // A place on a corner returns that corner's current.
    for (int j = 0; j < 3; ++j) {
        const CurrentPoint& c = field.vertices[j];
        const CurrentSample s = currentAt(field, tides, c.lon, c.lat, hw);
        ASSERT_TRUE(s.found);
        EXPECT_NEAR(s.speed, j + 1, 1e-5);
        EXPECT_NEAR(s.direction, 90, 1e-4);
        EXPECT_FLOAT_EQ(s.coefficient, 95);
    }
    // Inside: the inverse-distance blend of the three corners.
    int nearest;
    EXPECT_EQ(findTriangle(field, 0.02f, 0.03f, nearest), 0);
    const CurrentSample mid = currentAt(field, tides, 0.02f, 0.03f, hw);
    ASSERT_TRUE(mid.found);
    EXPECT_GT(mid.speed, 1);
    EXPECT_LT(mid.speed, 3);
    // Just outside the hypotenuse but within 2 nautical miles of a vertex: that vertex alone.
    EXPECT_EQ(findTriangle(field, 0.1f, 0.01f, nearest), -1);
    const CurrentSample near = currentAt(field, tides, 0.1f, 0.01f, hw);
    ASSERT_TRUE(near.found);
    EXPECT_NEAR(near.speed, 2, 1e-5);
    // Farther than 2 nautical miles from every corner: not found.
    EXPECT_FALSE(currentAt(field, tides, 0.2f, 0.2f, hw).found);
    EXPECT_FALSE(currentAt(field, tides, NAN, 0, hw).found);
}

TEST(currentFieldTest, tideStateOfTheCorners) {
    const TideHarmonics tides = portFixture();
    CurrentField field = triangleField({0, 0, 0});
    for (CurrentPoint* p : {&field.vertices[0]})
        *p = [&] {
            CurrentPoint q = rampPoint();
            q.port = 0;
            return q;
        }();
    // At high water (06:00) the point gives hour 0; two hours later hour +2 of the spring
    // table (coefficient 95 of the high water).
    CurrentSample s = currentAt(field, tides, 0, 0, 17000.25);
    EXPECT_NEAR(s.speed, std::hypot(60, 1), 1e-3);
    s = currentAt(field, tides, 0, 0, 17000.25 + 2 / 24.0);
    EXPECT_NEAR(s.speed, std::hypot(80, 1), 1e-3);
    // Counted from low water instead: at 06:00 the next low water is six hours ahead (hour
    // -6, east 0); at 13:00 it was one hour before (hour +1, coefficient 45 of the low water).
    field.vertices[0].fromHigh = false;
    s = currentAt(field, tides, 0, 0, 17000.25);
    EXPECT_NEAR(s.speed, 1, 1e-5);
    EXPECT_NEAR(s.direction, 0, 1e-4);
    s = currentAt(field, tides, 0, 0, 17000.5 + 1 / 24.0);
    EXPECT_NEAR(s.speed, std::hypot(35, 0.5), 1e-3);
    EXPECT_FLOAT_EQ(s.coefficient, 45);
}

TEST(currentFieldTest, badListEntriesAreNeverUsed) {
    CurrentField field = triangleField({1, 2, 3});
    // Vertex 7 and triangle 5 do not exist; a negative number neither.
    parseMeshLists("0 1 7\n0 1 2\n-1 0 1\n", "0 1 5 -2\n1\n1 2 3 4\n9 9\n", field);
    ASSERT_EQ(field.triangles.size(), 3u);
    EXPECT_EQ(field.triangles[0][0], -1);
    EXPECT_EQ(field.triangles[2][0], -1);
    // Only triangle 1 is listed, for every vertex.
    for (int v = 0; v < 3; ++v)
        for (int i = field.vertexStart[v]; i < field.vertexStart[v + 1]; ++i)
            EXPECT_EQ(field.vertexTriangles[i], 1);
    int nearest;
    EXPECT_EQ(findTriangle(field, 0.02f, 0.03f, nearest), 1);
    EXPECT_FALSE(field.log.empty());
    // Lists with fewer lines than vertices leave the rest without triangles.
    parseMeshLists("", "", field);
    EXPECT_EQ(findTriangle(field, 0.02f, 0.03f, nearest), -1);
}

TEST(currentFieldTest, nearestVertexMatchesABruteForceSearch) {
    CurrentField field;
    CurrentFile file;
    file.port = 0;
    unsigned state = 12345;
    auto next = [&state] {
        state = state * 1103515245u + 12345u;
        return static_cast<float>((state >> 8) % 10000) / 10000.0f;
    };
    for (int i = 0; i < 500; ++i) {
        CurrentPoint p;
        p.lon = -71 + next();
        p.lat = 41 + next();
        p.port = 0;
        file.points.push_back(p);
    }
    field.files.push_back(file);
    indexCurrentField(field);
    for (int q = 0; q < 200; ++q) {
        const float lon = -71.2f + 1.4f * next(), lat = 40.8f + 1.4f * next();
        int best = -1;
        double bestD = 1e30;
        for (int v = 0; v < 500; ++v) {
            const double dx = lon - field.vertices[v].lon, dy = lat - field.vertices[v].lat;
            if (dx * dx + dy * dy < bestD) {
                bestD = dx * dx + dy * dy;
                best = v;
            }
        }
        const int found = nearestVertex(field, lon, lat);
        const double fx = lon - field.vertices[found].lon, fy = lat - field.vertices[found].lat;
        EXPECT_DOUBLE_EQ(fx * fx + fy * fy, bestD) << q << " " << best;
    }
}

TEST(currentFileTest, shomPortNamesAndPositions) {
    bool fromHigh = true;
    EXPECT_EQ(shomPortName("BREST BM", fromHigh), "BREST");
    EXPECT_FALSE(fromHigh);
    EXPECT_EQ(shomPortName("\tLE HAVRE  ", fromHigh), "LE_HAVRE");
    EXPECT_TRUE(fromHigh);
    EXPECT_EQ(shomPortName("St Malo", fromHigh), "ST_MALO");
    EXPECT_EQ(shomPortName("BM", fromHigh), "");
    EXPECT_NEAR(shomDegrees(4830.5), 48.508333, 1e-6);
    EXPECT_NEAR(shomDegrees(-130.5), -(1 + 30.5 / 60), 1e-9);
    EXPECT_NEAR(shomDegrees(-30.0), -0.5, 1e-9);
    EXPECT_TRUE(std::isnan(shomDegrees(NAN)));
}

TEST(currentFileTest, defaultFileLayoutAndColours) {
    CurrentFile file;
    const std::string one =
        "1 2 3 4 5 6 7 8 9 10 11 12 13 | -1 -2 -3 -4 -5 -6 -7 -8 -9 -10 -11 -12 -13\n";
    ASSERT_TRUE(parseCurrentFile("  nantucket \n41.5 -70.25\n" + one + one + "41.6 -70.0\n" + one +
                                     "not numbers\n41.7 -70\n" + one + one,
                                 false, file));
    EXPECT_EQ(file.portName, "NANTUCKET");
    EXPECT_TRUE(file.fromHigh);
    ASSERT_EQ(file.points.size(), 1u); // the malformed second block ends the file
    EXPECT_FLOAT_EQ(file.points[0].lat, 41.5f);
    EXPECT_FLOAT_EQ(file.points[0].lon, -70.25f);
    EXPECT_FLOAT_EQ(file.points[0].springEast[12], 1.3f);
    EXPECT_FLOAT_EQ(file.points[0].neapNorth[0], -0.1f);
    EXPECT_FALSE(parseCurrentFile("", false, file));
    // A line with a missing separator or too few values, a position out of range.
    EXPECT_TRUE(parseCurrentFile("P\n41 -70\n1 2 3\n" + one, false, file));
    EXPECT_TRUE(file.points.empty());
    EXPECT_TRUE(parseCurrentFile("P\n95 -70\n" + one + one, false, file));
    EXPECT_TRUE(file.points.empty());
    // The colour: seed (int)(lonSpan * 10) - (int)(latSpan * -10) * n, then blue, green, red.
    file.points.assign(4, CurrentPoint{});
    file.points[1].lon = 0.55f;
    file.points[2].lat = 0.31f;
    finishCurrentFile(file);
    std::uint32_t state = static_cast<std::uint32_t>(5 - (-3) * 4);
    auto next = [&state] {
        state = state * 214013u + 2531011u;
        return static_cast<float>((state >> 16) & 0x7FFF) / 32767.0f;
    };
    EXPECT_FLOAT_EQ(file.blue, next());
    EXPECT_FLOAT_EQ(file.green, next());
    EXPECT_FLOAT_EQ(file.red, next());
    EXPECT_FLOAT_EQ(file.alpha, 1);
    EXPECT_FLOAT_EQ(file.lonSpan, 0.55f);
}

TEST(currentFileTest, shomAtlasLoads) {
    TideHarmonics tides;
    tides.parseHarmonics(
        "BREST\n48.38 -4.5\n0\n400\n0 0 0 0 2000 0 0 0 0 0\n0 0 0 0 0 0 0 0 0 0\n"
        "LE_HAVRE\n49.5 0.1\n0\n500\n0 0 0 0 2500 0 0 0 0 0\n0 0 0 0 0 0 0 0 0 0\n");
    CurrentField field;
    ASSERT_TRUE(loadCurrentField(CurrentKind::Shom, std::string(NAVOREL_TEST_DATA) + "/currents",
                                 tides, field));
    ASSERT_EQ(field.files.size(), 2u); // NOWHERE is skipped
    EXPECT_EQ(field.files[0].portName, "BREST");
    EXPECT_FALSE(field.files[0].fromHigh);
    EXPECT_EQ(field.files[1].portName, "LE_HAVRE");
    EXPECT_TRUE(field.files[1].fromHigh);
    ASSERT_EQ(field.vertices.size(), 7u); // the unknown port's point keeps its number
    EXPECT_NEAR(field.vertices[1].lat, 48.508333, 1e-5);
    EXPECT_NEAR(field.vertices[0].lon, -4.5, 1e-5);
    bool loggedPort = false;
    for (const std::string& line : field.log)
        loggedPort |= line.find("NOWHERE") != std::string::npos;
    EXPECT_TRUE(loggedPort);
    EXPECT_EQ(field.triangles[2][0], -1); // vertex 99
    EXPECT_EQ(field.triangles[3][0], -1); // a corner without port
    // Inside the Brest triangle; near the unknown port's point there is no current.
    const CurrentSample s = currentAt(field, tides, -4.45f, 48.36f, 17000.3);
    EXPECT_TRUE(s.found);
    EXPECT_FALSE(currentAt(field, tides, -3.0f, 47.0f, 17000.3).found);
    // The provider: SHOM loads, DEFAULT has no files. Choosing DEFAULT, or the provider 2
    // that has no data, gives no streams rather than SHOM's.
    CurrentProvider provider;
    ASSERT_TRUE(provider.load(std::string(NAVOREL_TEST_DATA) + "/currents", tides));
    EXPECT_EQ(provider.mode(), 1);
    for (int chosen : {0, 2, 1}) {
        provider.setStreamProvider(chosen);
        EXPECT_EQ(provider.mode(), chosen == 1 ? 1 : -1) << chosen;
        EXPECT_EQ(provider.currentAt(-4.45f, 48.36f, 17000.3).found, chosen == 1) << chosen;
    }
    CurrentProvider empty;
    EXPECT_FALSE(empty.load("/nonexistent", tides));
    EXPECT_EQ(empty.mode(), -1);
    EXPECT_FALSE(empty.currentAt(-4.45f, 48.36f, 17000.3).found);
}

TEST(currentMeshTest, delaunayTriangulation) {
    // A square with its centre: four triangles; a duplicate point joins none.
    const std::vector<std::array<double, 2>> points{{0, 0}, {1, 0},     {1, 1},
                                                    {0, 1}, {0.5, 0.5}, {1, 1}};
    const auto triangles = delaunayTriangles(points);
    ASSERT_EQ(triangles.size(), 4u);
    for (const auto& t : triangles) {
        const auto &a = points[t[0]], &b = points[t[1]], &c = points[t[2]];
        EXPECT_GT((b[0] - a[0]) * (c[1] - a[1]) - (b[1] - a[1]) * (c[0] - a[0]), 0); // ccw
        for (int v : t) EXPECT_NE(v, 5);
    }
    // The empty-circle property on a scattered set.
    std::vector<std::array<double, 2>> scatter;
    for (int i = 0; i < 60; ++i)
        scatter.push_back({std::fmod(i * 0.618034, 1.0), std::fmod(i * 0.414214, 1.0)});
    const auto mesh = delaunayTriangles(scatter);
    EXPECT_GT(mesh.size(), 60u);
    for (const auto& t : mesh) {
        const auto &a = scatter[t[0]], &b = scatter[t[1]], &c = scatter[t[2]];
        for (std::size_t p = 0; p < scatter.size(); ++p) {
            const auto& d = scatter[p];
            // In-circle determinant, positive when d lies inside the ccw circle of a b c.
            const double ax = a[0] - d[0], ay = a[1] - d[1], bx = b[0] - d[0], by = b[1] - d[1],
                         cx = c[0] - d[0], cy = c[1] - d[1];
            const double det = (ax * ax + ay * ay) * (bx * cy - cx * by) -
                               (bx * bx + by * by) * (ax * cy - cx * ay) +
                               (cx * cx + cy * cy) * (ax * by - bx * ay);
            EXPECT_LT(det, 1e-9);
        }
    }
    EXPECT_TRUE(delaunayTriangles({{0, 0}, {1, 1}}).empty());
}

// The two lists index each other: a failure on the second must not leave the first replaced.
TEST(currentMeshTest, listsAreReplacedTogetherOrNotAtAll) {
    namespace fs = std::filesystem;
    const fs::path dir =
        fs::temp_directory_path() / ("navorel_mesh_pair_" + std::to_string(::getpid()));
    auto slurp = [](const fs::path& p) {
        std::ifstream in(p, std::ios::binary);
        std::ostringstream s;
        s << in.rdbuf();
        return s.str();
    };
    const std::vector<std::array<int, 3>> triangles{{0, 1, 2}};
    struct Case {
        const char* what;
        bool triangleListExists;
        const char* vertexList; // relative to the folder
        std::function<void(const fs::path&)> spoil;
    };
    const std::vector<Case> cases{
        {"vertex folder is a file: its temporary cannot be made", true, "plain/dListVert",
         [](const fs::path& d) { std::ofstream(d / "plain") << "x"; }},
        {"vertex list is a folder: its rename fails", true, "dListVert",
         [](const fs::path& d) { fs::create_directories(d / "dListVert" / "inside"); }},
        {"a new mesh whose vertex list cannot be renamed", false, "dListVert",
         [](const fs::path& d) { fs::create_directories(d / "dListVert" / "inside"); }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        fs::remove_all(dir);
        fs::create_directories(dir);
        if (c.triangleListExists) std::ofstream(dir / "dListTri") << "old\n";
        c.spoil(dir);
        std::string error;
        EXPECT_FALSE(writeMeshLists((dir / "dListTri").string(), (dir / c.vertexList).string(),
                                    triangles, 3, error));
        EXPECT_NE(error.find("cannot write " + (dir / c.vertexList).string()), std::string::npos)
            << error;
        EXPECT_EQ(fs::exists(dir / "dListTri"), c.triangleListExists);
        if (c.triangleListExists) {
            EXPECT_EQ(slurp(dir / "dListTri"), "old\n");
        }
        for (const auto& e : fs::directory_iterator(dir)) // no temporary or kept copy left
            EXPECT_NE(e.path().filename().string()[0], '.') << e.path();
    }
    // Both written when nothing fails.
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::string error;
    ASSERT_TRUE(writeMeshLists((dir / "dListTri").string(), (dir / "dListVert").string(), triangles,
                               3, error))
        << error;
    EXPECT_EQ(slurp(dir / "dListTri"), "0 1 2\n");
    EXPECT_EQ(slurp(dir / "dListVert"), "0\n0\n0\n");
    EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 2);
    fs::remove_all(dir);
}

TEST(currentDemoTest, demoAtlasAnswersInNantucketSound) {
    TideHarmonics tides;
    ASSERT_TRUE(tides.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Tides"));
    CurrentProvider provider;
    ASSERT_TRUE(provider.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Currents", tides));
    EXPECT_EQ(provider.mode(), 0);
    const CurrentField* f = provider.activeField();
    ASSERT_NE(f, nullptr);
    EXPECT_EQ(f->files.size(), 3u);
    EXPECT_TRUE(f->log.empty());
    // Over a day in the Sound the stream turns and stays below 4 knots.
    float lowest = 99, highest = 0;
    for (double t = 16953; t < 16954; t += 1 / 48.0) {
        const CurrentSample s = provider.currentAt(-70.25f, 41.5f, 17000 + (t - 16953));
        ASSERT_TRUE(s.found);
        lowest = std::min(lowest, s.speed);
        highest = std::max(highest, s.speed);
    }
    EXPECT_LT(lowest, 0.5f);
    EXPECT_GT(highest, 0.8f);
    EXPECT_LT(highest, 4.0f);
    EXPECT_FALSE(provider.currentAt(-68.0f, 43.0f, 17000).found); // the open Gulf of Maine
}

TEST(currentDemoTest, concurrentCallsAgree) {
    TideHarmonics tides;
    ASSERT_TRUE(tides.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Data/Tides"));
    CurrentProvider provider;
    ASSERT_TRUE(provider.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Currents", tides));
    auto sweep = [&provider](std::vector<float>& out) {
        for (int i = 0; i < 400; ++i) {
            const CurrentSample s =
                provider.currentAt(-70.6f + 0.002f * i, 41.3f + 0.0007f * i, 16953 + i / 96.0);
            out.push_back(s.found ? s.speed : -1);
        }
    };
    std::vector<float> expected;
    sweep(expected);
    std::vector<std::vector<float>> results(4);
    std::vector<std::thread> threads;
    for (auto& r : results) threads.emplace_back(sweep, std::ref(r));
    for (auto& t : threads) t.join();
    for (const auto& r : results) EXPECT_EQ(r, expected);
}
