// navorel-cli's exit codes, setting ranges, time arguments and program folder, run as a user
// would run the program.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <sstream>
#include <string>

#include "core/datetime.h"
#include "geo/gpx.h"
#include "test_folder.h"

using navorel::testing::readFile;
using navorel::testing::TestFolder;
namespace fs = std::filesystem;

namespace {

struct CliRun {
    int code = -1;
    std::string out, err;
};

// Runs `arguments` with `environment` (assignments put before the command) and answers the
// exit code, standard output and standard error.
CliRun cli(const std::string& arguments, const std::string& environment = "",
           const std::string& program = NAVOREL_CLI) {
    TestFolder scratch;
    const std::string errFile = scratch.file("err");
    const std::string command =
        environment + " " + program + " " + arguments + " 2>" + errFile + " </dev/null";
    CliRun run;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (!pipe) return run;
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
    const int status = ::pclose(pipe);
    run.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.err = readFile(errFile);
    return run;
}

int lines(const std::string& text) {
    int n = 0;
    for (char c : text) n += c == '\n';
    return n;
}

const std::string dist = std::string(NAVOREL_SOURCE_DIR) + "/dist";

} // namespace

TEST(CliRoute, TheExitCodeSaysWhetherEveryRunArrived) {
    TestFolder dir;
    const std::string json = dir.file("r.json");
    // One run each; the demo forecast covers 1 to 6 June 2026.
    const std::string one = "route --demo --set Routing.ScanPolar=0 --json " + json;
    struct Case {
        const char* start;
        int code;
        const char* says;
        bool ran; // a start outside the forecast is refused before any run
    };
    const Case cases[] = {
        {"2026-06-01T00:00", 0, "", true},
        {"2026-06-05T23:00", 3,
         "Routing not finished: stopped 48.5 M short of waypoint 2 - the forecast ends 06/06 00:00",
         true},
        {"2026-05-20T00:00", 3,
         "The start time is outside the forecast: 20/05 00:00 (01/06 00:00 - 06/06 00:00)", false},
    };
    for (const Case& c : cases) {
        fs::remove(json);
        const CliRun r = cli(one + " --start " + c.start);
        EXPECT_EQ(r.code, c.code) << c.start << ": " << r.err;
        if (c.code == 0) {
            EXPECT_EQ(r.err, "");
        } else {
            EXPECT_EQ(lines(r.err), 1) << r.err;
            EXPECT_NE(r.err.find(c.says), std::string::npos) << r.err;
        }
        if (!c.ran) {
            EXPECT_FALSE(fs::exists(json)) << c.start;
            continue;
        }
        // The partial result is written all the same, with its status.
        EXPECT_NE(
            readFile(json).find("\"inProgress\":" + std::string(c.code == 0 ? "true" : "false")),
            std::string::npos)
            << c.start;
    }
}

TEST(CliRoute, SetRefusesValuesOutsideTheKeysRangeOrNotNumbers) {
    const char* refused[] = {
        "Routing.Quality=9",
        "Routing.Quality=-1",
        "Routing.Quality=abc",
        "Routing.NbInitialAngles=2000000",
        "Routing.MinStart=-2147483648",
        "Routing.MaxStart=2147483647",
        "Routing.StepStart=0",
        "Map.Zoom=2.5",
        "Routing.Ellipse=yes",
        "Routing.LowSpeed=nan",
    };
    for (const char* set : refused) {
        const CliRun r = cli(std::string("route --demo --set ") + set);
        EXPECT_EQ(r.code, 1) << set;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        const std::string key = std::string(set).substr(0, std::string(set).find('='));
        EXPECT_NE(r.err.find(key + " takes "), std::string::npos) << r.err;
    }
}

TEST(CliTimes, ImpossibleDatesAreRefusedByEveryTimeArgument) {
    const char* bad[] = {
        "2026-00-05T10:00", "2026-06-01T99:00", "2026-02-29T10:00", "2026-04-31",
        "2026-13-01",       "2026-06-01T10:60", " 2026-6-1T1:5",    "2026-06-01T10:00:00",
        "2100-01-01",       "1900-12-31",       "tomorrow"};
    const std::string commands[] = {
        "tide --folder " + dist + " BOSTON T 2026-06-02",
        "tide --folder " + dist + " BOSTON 2026-06-01 T",
        "tide tables --folder " + dist + " T 2026-06-02",
        "current --folder " + dist + " -70.5 41.5 T",
        "grib wind " + dist + "/Gribs/Demo.grb -70 42 T",
        "route --demo --start T",
    };
    for (const std::string& command : commands)
        for (const char* time : bad) {
            std::string line = command;
            line.replace(line.find(" T"), 2, std::string(" '") + time + "'");
            const CliRun r = cli(line);
            EXPECT_EQ(r.code, 1) << line;
            EXPECT_EQ(lines(r.err), 1) << line << ": " << r.err;
            EXPECT_NE(r.err.find("is not a time"), std::string::npos) << line << ": " << r.err;
        }
    EXPECT_EQ(cli("tide --folder " + dist + " BOSTON 2028-02-29T10:00 2028-02-29T11:00").code, 0);
    EXPECT_EQ(cli("time 16953").out, "01/06/2026 00:00:00\n");
    for (const char* day : {"-1e9", "1e300", "nan", "44000", "-30000"})
        EXPECT_EQ(cli(std::string("time ") + day).code, 1) << day;
}

TEST(CliProgramFolder, EveryCommandFindsTheShippedFolderWhereverTheProgramLies) {
    if (!fs::exists(dist + "/Data/Gshhs/poly-c-1.dat")) GTEST_SKIP() << "no shorelines built";
    TestFolder dir;
    // The program outside the source tree, and no per-user folder yet.
    const std::string program = dir.file("bin/navorel-cli");
    fs::create_directories(dir.file("bin"));
    fs::copy_file(NAVOREL_CLI, program);
    const std::string home = "XDG_DATA_HOME=" + dir.file("home");
    EXPECT_EQ(cli("config get Routing TimestepMax", home, program).out, "60\n");
    EXPECT_EQ(cli("shore query --level c -- -70.0 42.5", home, program).code, 0);
    EXPECT_EQ(cli("tide BOSTON 2026-06-01 2026-06-01T01:00", home, program).code, 0);

    // A per-user folder made before the shorelines were built gets them linked.
    dir.write("home/navorel/Config.ini", readFile(dist + "/Config.ini"));
    const CliRun r = cli("shore query --level c -- -70.0 42.5", home, program);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_TRUE(fs::is_symlink(dir.file("home/navorel/Data/Gshhs/poly-c-1.dat")));
    EXPECT_EQ(cli("config get Routing TimestepMax", home, program).out, "60\n");
}

// The runs of the demo's scan give the same JSON on one thread and on several; a thread
// count that is not a whole number from 1 to 256 is refused in one line.
TEST(CliRoute, ScanThreadsGiveTheSameJsonAndBadCountsAreRefused) {
    TestFolder scratch;
    const std::string one = scratch.file("one.json"), three = scratch.file("three.json");
    ASSERT_EQ(cli("route --demo --threads 1 --json " + one).code, 0);
    ASSERT_EQ(cli("route --demo --threads 3 --json " + three).code, 0);
    const std::string serial = readFile(one);
    EXPECT_NE(serial.find("\"power\":100"), std::string::npos);
    EXPECT_TRUE(readFile(three) == serial);
    for (const char* bad : {"0", "257", "1.5", "two", "-3"}) {
        const CliRun r = cli(std::string("route --demo --threads ") + bad);
        EXPECT_EQ(r.code, 1) << bad;
        EXPECT_EQ(lines(r.err), 1) << r.err;
        EXPECT_NE(r.err.find("--threads takes"), std::string::npos) << r.err;
    }
}

namespace {

// The day number in the JSON dump's last "time" (the arrival of the last run).
double lastTime(const std::string& json) {
    const std::size_t at = json.rfind("\"time\":");
    return at == std::string::npos ? 0 : std::strtod(json.c_str() + at + 7, nullptr);
}

} // namespace

// The demo routed and exported: the GPX ends at the destination, at the arrival time, and a
// GPX reader takes its times.
TEST(CliRoute, ExportedRoutingEndsAtTheDestinationAtTheArrivalTime) {
    TestFolder dir;
    const std::string gpx = dir.file("routing.gpx"), json = dir.file("r.json");
    const CliRun r = cli("route --demo --set Routing.ScanPolar=0 --gpx " + gpx + " --json " + json);
    ASSERT_EQ(r.code, 0) << r.err;
    std::vector<navorel::GeoPoint> exported, route;
    std::string error;
    ASSERT_TRUE(navorel::loadUserRoute(gpx, exported, error)) << error;
    ASSERT_TRUE(navorel::loadUserRoute(dist + "/Data/Route.gpx", route, error)) << error;
    ASSERT_GE(exported.size(), 3u);
    EXPECT_EQ(exported.front().lon, route.front().lon);
    EXPECT_EQ(exported.front().lat, route.front().lat);
    EXPECT_EQ(exported.back().lon, route.back().lon);
    EXPECT_EQ(exported.back().lat, route.back().lat);
    const navorel::DateTime arrival = navorel::fromDayNumber(lastTime(readFile(json)));
    char when[200];
    std::snprintf(
        when, sizeof when,
        "\t\t\t<name>%02d/%02d %02d:%02d</name>\n\t\t\t<time>%04d-%02d-%02dT%02d:%02d:%02dZ"
        "</time>\n\t\t</rtept>\n\t</rte>\n</gpx>\n",
        arrival.day, arrival.month, arrival.hour, arrival.minute, arrival.year, arrival.month,
        arrival.day, arrival.hour, arrival.minute, arrival.second);
    const std::string text = readFile(gpx);
    EXPECT_EQ(text.substr(text.size() - std::strlen(when)), when);
    EXPECT_NE(text.find("<gpx version=\"1.1\" creator=\"Navorel\" "
                        "xmlns=\"http://www.topografix.com/GPX/1/1\">"),
              std::string::npos);

    if (std::system("command -v gpsbabel >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "gpsbabel is not installed";
    FILE* pipe = ::popen(("gpsbabel -r -i gpx -f '" + gpx + "' -o unicsv -F -").c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string csv;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) csv += line;
    ASSERT_EQ(::pclose(pipe), 0);
    EXPECT_EQ(csv.rfind("No,Latitude,Longitude,Name,Date,Time", 0), 0u) << csv;
    EXPECT_EQ(lines(csv), static_cast<int>(exported.size()) + 1);
    char tail[80];
    std::snprintf(tail, sizeof tail, ",%04d/%02d/%02d,%02d:%02d:%02d\r\n", arrival.year,
                  arrival.month, arrival.day, arrival.hour, arrival.minute, arrival.second);
    EXPECT_EQ(csv.substr(csv.size() - std::strlen(tail)), tail) << csv;
}

// A language file short of lines (made for an older version) still labels every row of the
// results table: each missing text is the English one. The texts it has stay in its language.
TEST(CliRoute, ALanguageFileShortOfLinesFallsBackToEnglishForEachMissingText) {
    TestFolder dir;
    // The shipped program folder, read through links, with a language folder of its own.
    fs::create_directories(dir.file("Data/Languages"));
    for (const auto& e : fs::directory_iterator(dist)) {
        const std::string name = e.path().filename().string();
        if (name != "Data" && name != "Config.ini") fs::create_symlink(e.path(), dir.file(name));
    }
    for (const auto& e : fs::directory_iterator(dist + "/Data")) {
        const std::string name = e.path().filename().string();
        if (name != "Languages" && name != "Log.txt")
            fs::create_symlink(e.path(), dir.file("Data/" + name));
    }
    const std::string languages = dist + "/Data/Languages/";
    fs::copy_file(languages + "English.txt", dir.file("Data/Languages/English.txt"));
    // The French texts up to 49: the first four row labels (46 to 49) are French.
    std::string french = readFile(languages + "Français.txt");
    std::size_t cut = 0;
    for (int line = 0; line < 50; ++line) cut = french.find('\n', cut) + 1;
    dir.write("Data/Languages/Short.txt", french.substr(0, cut));
    std::string config = readFile(dist + "/Config.ini");
    const std::size_t language = config.find("Language= English");
    ASSERT_NE(language, std::string::npos);
    config.replace(language, 17, "Language= Short");
    dir.write("Config.ini", config);

    const CliRun r = cli("route --folder " + dir.path() + " --set Routing.ScanPolar=0");
    ASSERT_EQ(r.code, 0) << r.err;
    for (const char* label :
         {"Efficacité", "Intensité du vent", "Departure", "Arrival", "Duration", "Routed distance",
          "Points stored", "Computation time:", "Routing complete"})
        EXPECT_NE(r.out.find(label), std::string::npos) << label << " missing in\n" << r.out;
    // No row of values without its label (the first line holds the column titles).
    std::istringstream rows(r.out);
    std::string row;
    std::getline(rows, row);
    while (std::getline(rows, row))
        EXPECT_FALSE(row.size() > 28 && row.find_first_not_of(' ') == 28) << row;
}
