// The desktop program's start-up and shut-down: the logged steps in their order, the dialogs
// of a missing forecast or polar, the window fitted to the screen, and what is saved at exit.
#include "app/main_window.h"
#include "app/startup.h"
#include "program_folder.h"

#include "geo/gpx.h"
#include "settings/ini_file.h"

#include <gtest/gtest.h>

#include <QTest>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <thread>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

// The log's lines with their time stamps taken off: "-- START", "-- END", the step texts and
// the empty line that ends each run.
std::vector<std::string> logSteps(const fs::path& folder) {
    std::ifstream in(folder / "Data" / "Log.txt");
    std::vector<std::string> steps;
    std::string line;
    while (std::getline(in, line)) {
        // "hh:mm:ss : text" or "dd/mm/yyyy hh:mm:ss -- START"
        if (line.size() > 11 && line[2] == ':' && line[5] == ':' && line.compare(8, 3, " : ") == 0)
            steps.push_back(line.substr(11));
        else if (line.size() > 20 && line[2] == '/' && line[5] == '/' && line[10] == ' ')
            steps.push_back(line.substr(20));
        else
            steps.push_back(line);
    }
    return steps;
}

void setKey(const fs::path& ini, const std::string& section, const std::string& key,
            const std::string& value) {
    IniFile file;
    std::string error;
    ASSERT_TRUE(file.load(ini.string(), error)) << error;
    file.writeText(section, key, value);
    ASSERT_TRUE(file.save(ini.string(), error)) << error;
}

} // namespace

TEST(Startup, LogsEveryStepInOrderAndTwoRunsAppendTwoBlocks) {
    ProgramFolder folder;
    for (int run = 0; run < 2; ++run) {
        app::AppData data;
        std::string error;
        ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
        std::vector<std::string> errors;
        app::shutDown(data, nullptr, errors);
        EXPECT_TRUE(errors.empty());
    }
    const std::vector<std::string> first = {
        "-- START", "Init parameters", "First opening", "Build: 0", "Parameters = OK",
        "Language = OK", "Gshhs rendering = OK", "Gshhs routing = OK", "TSS = OK", "Cities = OK",
        "Colors = OK", "Tides = OK", "Currents = OK", "Route = OK", "Barriers = OK",
        // No Data/Waypoints.gpx is shipped: the step still logs.
        "Waypoints = OK", "Winds = OK", "Polar = OK", "GPS = OK", "-- END", ""};
    std::vector<std::string> expected = first;
    // The second run is no first opening.
    std::vector<std::string> second = first;
    second.erase(second.begin() + 2);
    expected.insert(expected.end(), second.begin(), second.end());
    const std::vector<std::string> steps = logSteps(folder.path());
    ASSERT_GE(steps.size(), 4u);
    // The build number is whatever Config.ini holds.
    std::vector<std::string> normalised = steps;
    for (std::string& s : normalised)
        if (s.rfind("Build: ", 0) == 0) s = "Build: 0";
    EXPECT_EQ(normalised, expected);
}

TEST(Startup, LogOffWritesNoLogFile) {
    ProgramFolder folder;
    setKey(folder.path() / "Config.ini", "Version", "Log", "0");
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    std::vector<std::string> errors;
    app::shutDown(data, nullptr, errors);
    EXPECT_FALSE(fs::exists(folder.path() / "Data" / "Log.txt"));
}

TEST(Startup, MissingForecastAsksForOneThenFallsBackToTheConstantWind) {
    ProgramFolder folder;
    setKey(folder.path() / "Config.ini", "Winds", "Grib", "Missing.grb");
    {
        // The chosen file is loaded and becomes the configured forecast.
        app::AppData data;
        std::string error;
        ASSERT_TRUE(app::loadConfiguration(folder.str(), data, error)) << error;
        app::StartupHooks hooks;
        int asked = 0;
        hooks.chooseGrib = [&] {
            ++asked;
            return std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb";
        };
        ASSERT_TRUE(app::runStartupSequence(data, hooks, error)) << error;
        EXPECT_EQ(asked, 1);
        EXPECT_FALSE(data.wind.empty());
        EXPECT_FALSE(data.config.settings.routing.uniqueWind);
        EXPECT_EQ(data.config.settings.winds.grib, "Demo.grb");
    }
    {
        // A cancelled dialog: constant wind, zones off, one information message.
        app::AppData data;
        std::string error;
        ASSERT_TRUE(app::loadConfiguration(folder.str(), data, error)) << error;
        data.config.settings.winds.showZones = true;
        app::StartupHooks hooks;
        std::vector<std::string> messages;
        hooks.chooseGrib = [] { return std::string(); };
        hooks.inform = [&](const std::string& m) { messages.push_back(m); };
        ASSERT_TRUE(app::runStartupSequence(data, hooks, error)) << error;
        EXPECT_TRUE(data.wind.empty());
        EXPECT_TRUE(data.config.settings.routing.uniqueWind);
        EXPECT_FALSE(data.config.settings.winds.showZones);
        ASSERT_EQ(messages.size(), 1u);
        EXPECT_EQ(messages[0], data.texts.text(234));
    }
}

TEST(Startup, AFirstStartWithoutAForecastShowsTheRoutesWaters) {
    ProgramFolder folder;
    setKey(folder.path() / "Config.ini", "Winds", "Grib", "Missing.grb");
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::loadConfiguration(folder.str(), data, error)) << error;
    ASSERT_TRUE(data.firstRun);
    // As the program starts: the window shows before the forecast is asked for (and refused).
    app::MainWindow window(data);
    app::StartupHooks hooks;
    hooks.showWindow = [&] { window.placeAndShow(); };
    hooks.chooseGrib = [] { return std::string(); };
    ASSERT_TRUE(app::runStartupSequence(data, hooks, error)) << error;
    window.dataLoaded();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window));
    app::ChartWidget& chart = window.chart();
    ASSERT_GE(data.route.waypoints.size(), 2u);
    for (const GeoPoint& p : data.route.waypoints) {
        double x, y;
        chart.view().project(p.lon, p.lat, x, y);
        EXPECT_TRUE(x > 0 && x < chart.width() && y > 0 && y < chart.height()) << x << "," << y;
    }
    // The land of Cape Cod and the islands is drawn.
    const QImage shot = chart.grab().toImage();
    const int land = data.config.settings.map.colorLand;
    const QColor landColour(land & 0xff, (land >> 8) & 0xff, (land >> 16) & 0xff);
    int landPixels = 0;
    for (int y = 0; y < shot.height(); y += 4)
        for (int x = 0; x < shot.width(); x += 4) landPixels += shot.pixelColor(x, y) == landColour;
    EXPECT_GT(landPixels, 500);
}

TEST(Startup, MissingPolarAsksForOneAndACancelEndsTheStartUp) {
    ProgramFolder folder;
    setKey(folder.path() / "Config.ini", "Polar", "Name", "Gone.pol");
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::loadConfiguration(folder.str(), data, error)) << error;
    app::StartupHooks hooks;
    std::vector<int> stages;
    hooks.splashStage = [&](int s) { stages.push_back(s); };
    hooks.choosePolar = [] { return std::string(); };
    EXPECT_FALSE(app::runStartupSequence(data, hooks, error));
    EXPECT_TRUE(error.empty()); // the user said no: nothing more to tell
    EXPECT_EQ(stages, (std::vector<int>{1, 2, 3}));

    // Without dialogs the failure carries its message.
    app::AppData quiet;
    EXPECT_FALSE(app::startUp(folder.str(), quiet, error));
    EXPECT_NE(error.find("Gone.pol"), std::string::npos);
}

TEST(Startup, WindowIsFittedToTheScreen) {
    WindowSettings w;
    w.width = 5000;
    w.height = 4000;
    app::WindowPlace p = app::fitToScreen(w, 1920, 1080);
    EXPECT_EQ(p.x, 0);
    EXPECT_EQ(p.y, 0);
    EXPECT_EQ(p.width, 1920);
    EXPECT_EQ(p.height, 1080);
    w = {};
    w.x = -50;
    w.width = 400;
    w.height = 300;
    EXPECT_EQ(app::fitToScreen(w, 1920, 1080).x, 0);
    w.x = 1800;
    w.y = 1000;
    p = app::fitToScreen(w, 1920, 1080);
    EXPECT_EQ(p.x, 1520);
    EXPECT_EQ(p.y, 780);
}

TEST(Shutdown, SavesTheViewTheRouteAndTheBarriersAndLeavesNoWaypointFile) {
    ProgramFolder folder;
    app::AppData data;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), data, error)) << error;
    const std::size_t waypoints = data.route.waypoints.size();
    ASSERT_GE(waypoints, 2u);
    // Data/Route.gpx is a copy in the scratch folder; the route is rewritten there.
    data.route.waypoints.pop_back();
    Barrier barrier;
    barrier.points = {{-70.5f, 42.0f}, {-70.0f, 42.2f}};
    data.barriers.barriers.push_back(barrier);
    MapView view;
    view.scale = 321.5;
    view.transX = -1234;
    view.transY = 9876;
    std::vector<std::string> errors;
    app::shutDown(data, &view, errors);
    EXPECT_TRUE(errors.empty());

    IniFile ini;
    ASSERT_TRUE(ini.load((folder.path() / "Config.ini").string(), error)) << error;
    EXPECT_DOUBLE_EQ(ini.readReal("Map", "Scale", 0), 321.5);
    EXPECT_DOUBLE_EQ(ini.readReal("Map", "TransX", 0), -1234);
    std::vector<GeoPoint> route;
    ASSERT_TRUE(loadUserRoute((folder.path() / "Data" / "Route.gpx").string(), route, error));
    EXPECT_EQ(route.size(), waypoints - 1);
    BarrierList barriers;
    ASSERT_TRUE(loadBarriers((folder.path() / "Data" / "Barriers.gpx").string(), barriers, error));
    EXPECT_EQ(barriers.size(), 1u);
    EXPECT_FALSE(fs::exists(folder.path() / "Data" / "Waypoints.gpx"));
}

TEST(Startup, UnreadableRouteAndBarrierFilesAreMovedAsideAndTold) {
    ProgramFolder folder;
    const fs::path data = folder.path() / "Data";
    const std::string badBarriers = "<?xml version=\"1.0\"?>\n<gpx>\n\t<rte>\n"
                                    "\t\t<rtept lat=\"abc\" lon=\"-70\"/>\n\t</rte>\n</gpx>\n";
    const std::string badRoute = "<?xml version=\"1.0\"?>\n<gpx><rte>\n\n"
                                 "<rtept lat=\"42\" lon=\"west\"/></rte></gpx>\n";
    fs::remove(data / "Route.gpx");
    std::ofstream(data / "Route.gpx") << badRoute;
    std::ofstream(data / "Barriers.gpx") << badBarriers;
    std::ofstream(data / "Barriers.gpx.bad") << "an earlier one"; // not replaced
    std::ofstream(data / "Waypoints.gpx") << "<gpx><wpt";         // left where it is

    app::AppData d;
    std::string error;
    ASSERT_TRUE(app::loadConfiguration(folder.str(), d, error)) << error;
    app::StartupHooks hooks;
    std::vector<std::string> told;
    hooks.inform = [&](const std::string& m) { told.push_back(m); };
    ASSERT_TRUE(app::runStartupSequence(d, hooks, error)) << error;
    EXPECT_TRUE(d.route.waypoints.empty() && d.barriers.barriers.empty() && !d.haveWaypoints);
    // Which file, which line, and where it went.
    ASSERT_GE(told.size(), 3u);
    const struct {
        const char* file;
        const char* line;
        const char* aside;
    } expected[] = {{"Route.gpx: line 4", "longitude", "Route.gpx.bad"},
                    {"Barriers.gpx: line 4", "latitude", "Barriers.gpx.bad2"},
                    {"Waypoints.gpx:", "", ""}};
    for (int k = 0; k < 3; ++k) {
        for (const char* part : {expected[k].file, expected[k].line, expected[k].aside})
            EXPECT_NE(told[static_cast<std::size_t>(k)].find(part), std::string::npos)
                << told[static_cast<std::size_t>(k)] << " lacks " << part;
    }

    std::vector<std::string> errors;
    app::shutDown(d, nullptr, errors);
    EXPECT_TRUE(errors.empty());
    auto read = [](const fs::path& p) {
        std::ifstream in(p);
        return std::string((std::istreambuf_iterator<char>(in)), {});
    };
    EXPECT_EQ(read(data / "Route.gpx.bad"), badRoute);
    EXPECT_EQ(read(data / "Barriers.gpx.bad2"), badBarriers);
    EXPECT_EQ(read(data / "Barriers.gpx.bad"), "an earlier one");
    EXPECT_EQ(read(data / "Waypoints.gpx"), "<gpx><wpt");
}

TEST(Program, RunsItsLoopAndSavesWhenTheSessionEnds) {
    // Twice: the second time the route cannot be saved (a folder took its name), and the
    // program says so with a non-zero exit.
    for (bool blocked : {false, true}) {
        SCOPED_TRACE(blocked ? "route blocked" : "all saved");
        ProgramFolder folder;
        const fs::path log = folder.path() / "Data" / "Log.txt";
        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            setenv("QT_QPA_PLATFORM", "offscreen", 1);
            execl(NAVOREL_APP, NAVOREL_APP, "--folder", folder.str().c_str(), (char*)nullptr);
            _exit(127);
        }
        // The window is up once the loop is logged.
        bool looping = false;
        for (int i = 0; i < 600 && !looping; ++i) {
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
            const std::vector<std::string> steps = logSteps(folder.path());
            looping = std::find(steps.begin(), steps.end(), "Loop = OK") != steps.end();
        }
        const fs::path route = folder.path() / "Data" / "Route.gpx";
        if (blocked) {
            fs::remove(route);
            fs::create_directories(route / "inside");
        }
        kill(pid, SIGTERM);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        ASSERT_TRUE(looping);
        ASSERT_TRUE(WIFEXITED(status));
        EXPECT_EQ(WEXITSTATUS(status), blocked ? 1 : 0);
        const std::vector<std::string> steps = logSteps(folder.path());
        ASSERT_GE(steps.size(), 10u);
        const std::vector<std::string> tail(steps.end() - 4, steps.end());
        EXPECT_EQ(tail, (std::vector<std::string>{"GPS = OK", "Loop = OK", "-- END", ""}));
        // The main window exists before the data sets load.
        const auto language = std::find(steps.begin(), steps.end(), "Language = OK");
        ASSERT_NE(language, steps.end());
        EXPECT_EQ(*(language + 1), "Window = OK");
        EXPECT_EQ(*(language + 2), "Gshhs rendering = OK");
        // The shut-down saved the settings: this folder is no longer a first opening.
        IniFile ini;
        std::string error;
        ASSERT_TRUE(ini.load((folder.path() / "Config.ini").string(), error)) << error;
        EXPECT_EQ(ini.readText("Folders", "Initial"), folder.str());
        EXPECT_EQ(ini.readInt("Window", "FirstOpening", 1), 0);
    }
}

// The forecast at start-up: a damaged file is named with the decoder's reason before the
// dialog opens, a chosen .bz2 file is decompressed and loaded, and [Winds] Lag shifts the
// frames of the loaded forecast.
TEST(Startup, ForecastIsDecompressedShiftedByTheLagAndItsDamageIsShown) {
    struct Case {
        const char* configured; // file put in the GRIB folder as the configured forecast
        bool chooseBz2;         // the dialog gives a .bz2 copy of the demo forecast
        int lag;
        const char* message; // part of the first message shown, or "" for none
    };
    const std::string dist = std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb";
    const std::string data = std::string(NAVOREL_SOURCE_DIR) + "/tests/data";
    double unshifted = 0;
    for (const Case c : {Case{"Demo.grb", false, 0, ""}, Case{"Demo.grb", false, 3, ""},
                         Case{"truncated.grb", true, 0, "could not read to end of a record"},
                         Case{"", true, -6, ""}}) {
        SCOPED_TRACE(std::string(c.configured) + " lag " + std::to_string(c.lag));
        ProgramFolder folder;
        // A GRIB folder of its own in place of the link to the shipped one.
        const fs::path gribs = folder.path() / "Gribs";
        fs::remove(gribs);
        fs::create_directories(gribs);
        const std::string name = *c.configured ? c.configured : "Missing.grb";
        if (name == "Demo.grb") fs::copy_file(dist, gribs / name);
        if (name == "truncated.grb") fs::copy_file(data + "/grib/truncated.grb", gribs / name);
        fs::copy_file(data + "/wind/Demo.grb.bz2", gribs / "Chosen.grb.bz2");
        setKey(folder.path() / "Config.ini", "Winds", "Grib", name);
        setKey(folder.path() / "Config.ini", "Winds", "Lag", std::to_string(c.lag));

        app::AppData d;
        std::string error;
        ASSERT_TRUE(app::loadConfiguration(folder.str(), d, error)) << error;
        app::StartupHooks hooks;
        std::vector<std::string> messages;
        hooks.inform = [&](const std::string& m) { messages.push_back(m); };
        hooks.chooseGrib = [&] {
            return c.chooseBz2 ? (gribs / "Chosen.grb.bz2").string() : std::string();
        };
        ASSERT_TRUE(app::runStartupSequence(d, hooks, error)) << error;
        ASSERT_FALSE(d.wind.empty());
        EXPECT_FALSE(d.config.settings.routing.uniqueWind);
        if (*c.message) {
            ASSERT_FALSE(messages.empty());
            EXPECT_NE(messages[0].find(c.message), std::string::npos) << messages[0];
            EXPECT_NE(messages[0].find("truncated.grb"), std::string::npos) << messages[0];
        } else {
            EXPECT_TRUE(messages.empty());
        }
        if (c.chooseBz2) {
            EXPECT_EQ(d.config.settings.winds.grib, "Chosen.grb.bz2");
            EXPECT_TRUE(fs::exists(gribs / "Chosen.grb.bz2"));
        }
        const double first = d.wind.frameTimes().front();
        if (c.lag == 0 && !c.chooseBz2) unshifted = first;
        // The demo forecast in both files: the lag moves every frame back by its hours.
        EXPECT_NEAR(first, unshifted - c.lag / 24.0, 1e-9);
    }
}
