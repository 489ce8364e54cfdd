// navorel-cli routes across the western end of the Boston traffic separation zone with every
// shipped zone file selected: straight through with AvoidTss=0, round it with AvoidTss=1.
#include "geo/gpx.h"
#include "geo/tss.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

using namespace navorel;
namespace fs = std::filesystem;

namespace {

const fs::path kDist = fs::path(NAVOREL_SOURCE_DIR) / "dist";

struct CliRun {
    int code = -1;
    std::string out;
};

CliRun cli(const std::string& arguments) {
    const std::string command = std::string(NAVOREL_CLI) + " " + arguments + " 2>&1 </dev/null";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return run;
}

// The steps (parent position -> position) of the route points of a --json result.
std::vector<std::pair<GeoPoint, GeoPoint>> routeSteps(const std::string& path) {
    std::ifstream in(path);
    const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    auto number = [&](const char* key, std::size_t& at) {
        if (at != std::string::npos) at = text.find(key, at);
        if (at == std::string::npos) return NAN;
        at += std::strlen(key);
        return std::strtof(text.c_str() + at, nullptr);
    };
    std::vector<std::pair<GeoPoint, GeoPoint>> steps;
    for (std::size_t at = 0;;) {
        GeoPoint a, b;
        a.lon = number("\"parentLon\":", at);
        a.lat = number("\"parentLat\":", at);
        b.lon = number("\"lon\":", at);
        b.lat = number("\"lat\":", at);
        if (at == std::string::npos) return steps;
        steps.push_back({a, b});
    }
}

// A program folder of the shipped files with every zone file selected.
struct ProgramFolder {
    fs::path root = fs::temp_directory_path() / "navorel_tss_route";
    ProgramFolder() {
        fs::remove_all(root);
        fs::create_directories(root / "Data");
        fs::copy_file(kDist / "Config.ini", root / "Config.ini");
        for (const char* shared : {"Gribs", "Polars"})
            fs::create_directory_symlink(kDist / shared, root / shared);
        for (const auto& entry : fs::directory_iterator(kDist / "Data"))
            if (entry.path().filename() != "Tss.xml")
                fs::create_symlink(entry.path(), root / "Data" / entry.path().filename());
        std::ofstream xml(root / "Data" / "Tss.xml");
        xml << "<?xml version=\"1.0\"?>\n<tss>\n";
        for (const auto& entry : fs::directory_iterator(kDist / "Data" / "Tss")) {
            const std::string name = zoneNameOfFile(entry.path().filename().string());
            if (!name.empty()) xml << "\t<file name=\"" << name << "\" />\n";
        }
        xml << "</tss>\n";
    }
    ~ProgramFolder() { fs::remove_all(root); }
    std::string file(const char* name) const { return (root / name).string(); }
};

} // namespace

TEST(TssRoute, CrossesTheBostonSeparationZoneOnlyWhenNotAvoided) {
    if (!fs::exists(kDist / "Data" / "Gshhs" / "poly-h-1.dat"))
        GTEST_SKIP() << "no shoreline file of level h";
    const ProgramFolder folder;
    const GeoPoint from{-70.62f, 42.26f}, to{-70.62f, 42.42f};
    std::string error;
    ASSERT_TRUE(saveUserRoute(folder.file("leg.gpx"), {from, to}, error)) << error;

    // The Boston scheme's separation zone, the only one near the leg.
    ZoneOutlines boston;
    std::vector<std::string> kinds;
    ASSERT_TRUE(
        loadZoneOutlines((kDist / "Data/Tss/Boston_approach.gpx").string(), boston, kinds, error))
        << error;
    ASSERT_EQ(kinds[0], "separation zone");
    const ZoneOutlines zone{boston[0]};
    ASSERT_TRUE(segmentCrossesZones(zone, from, to));

    for (int avoid : {0, 1}) {
        const std::string json = folder.file(avoid ? "avoided.json" : "direct.json");
        const CliRun run =
            cli("route --folder " + folder.root.string() + " --route " + folder.file("leg.gpx") +
                " --set Routing.ScanPolar=0" +
                " --set Routing.CoastsQuality=3 --set Routing.AvoidTss=" + std::to_string(avoid) +
                " --json " + json);
        EXPECT_EQ(run.code, 0) << run.out;
        EXPECT_NE(run.out.find("Routing complete"), std::string::npos) << run.out;
        // Every step of the route, at full precision.
        const std::vector<std::pair<GeoPoint, GeoPoint>> steps = routeSteps(json);
        ASSERT_GT(steps.size(), 10u);
        bool entered = false;
        for (const auto& [a, b] : steps) entered = entered || segmentCrossesZones(zone, a, b);
        EXPECT_EQ(entered, avoid == 0) << "AvoidTss=" << avoid;
    }
}
