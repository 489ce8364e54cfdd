// What the start-up does with what a user or a crash left behind: a forecast archive that is
// damaged or holds no forecast (the user's files stay as they are), a forecast whose opening
// never came back, the temporaries of a save that was killed, and [Map] keys at the ends of
// their ranges.
#include "app/chart_view.h"
#include "app/startup.h"
#include "program_folder.h"

#include "settings/ini_file.h"
#include "settings/setting_ranges.h"
#include "weather/grib.h"

#include <bzlib.h>
#include <gtest/gtest.h>

#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace fs = std::filesystem;
using namespace navorel;
using navorel::apptest::ProgramFolder;

namespace {

const std::string kDemoGrib = std::string(NAVOREL_SOURCE_DIR) + "/dist/Gribs/Demo.grb";

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

void write(const fs::path& p, const std::string& content) {
    std::ofstream(p, std::ios::binary) << content;
}

std::string bzip2(const std::string& data) {
    std::string out(data.size() + data.size() / 100 + 1024, '\0');
    unsigned size = static_cast<unsigned>(out.size());
    EXPECT_EQ(BZ2_bzBuffToBuffCompress(out.data(), &size, const_cast<char*>(data.data()),
                                       static_cast<unsigned>(data.size()), 9, 0, 0),
              BZ_OK);
    out.resize(size);
    return out;
}

void setKey(const fs::path& ini, const std::string& section, const std::string& key,
            const std::string& value) {
    IniFile file;
    std::string error;
    ASSERT_TRUE(file.load(ini.string(), error)) << error;
    file.writeText(section, key, value);
    ASSERT_TRUE(file.save(ini.string(), error)) << error;
}

// A program folder whose GRIB folder is its own (not the link to the shipped one).
fs::path ownGribFolder(const ProgramFolder& folder) {
    const fs::path gribs = folder.path() / "Gribs";
    fs::remove(gribs);
    fs::create_directories(gribs);
    return gribs;
}

// What a start-up with dialogs showed and asked.
struct Dialogs {
    std::vector<std::string> told;
    std::vector<std::string> asked; // the forecasts the reopen question named
    int chooserOpened = 0;
    bool reopen = true;

    app::StartupHooks hooks() {
        app::StartupHooks h;
        h.inform = [this](const std::string& m) { told.push_back(m); };
        h.chooseGrib = [this] {
            ++chooserOpened;
            return std::string();
        };
        h.askReopenGrib = [this](const std::string& path) {
            asked.push_back(path);
            return reopen;
        };
        return h;
    }
};

bool startWith(const ProgramFolder& folder, Dialogs& dialogs, app::AppData& d) {
    std::string error;
    EXPECT_TRUE(app::loadConfiguration(folder.str(), d, error)) << error;
    const bool started = app::runStartupSequence(d, dialogs.hooks(), error);
    EXPECT_TRUE(started) << error;
    return started;
}

} // namespace

// The configured forecast is an archive beside a forecast of the same name. Whatever the
// archive holds, both files stay byte for byte as they were, nothing else appears in the
// folder, and the user is told what is wrong with the archive (it used to be expanded over
// forecast.grb and then deleted when the result did not load).
TEST(StartupGuards, ADamagedForecastArchiveLeavesTheUsersFilesAsTheyWere) {
    const std::string demo = readAll(kDemoGrib);
    const std::string archive = bzip2(demo);
    const struct {
        const char* what;
        std::string content;
        const char* told; // part of the message
    } cases[] = {
        {"cut short", archive.substr(0, archive.size() / 2), "damaged or incomplete"},
        {"not bzip2", "BZh91AY&SY not really", "damaged or incomplete"},
        {"zeros", bzip2(std::string(1 << 20, '\0')), "no GRIB message"},
        {"text", bzip2("no forecast in here\n"), "no GRIB message"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramFolder folder;
        const fs::path gribs = ownGribFolder(folder);
        write(gribs / "forecast.grb", demo);
        write(gribs / "forecast.grb.bz2", c.content);
        setKey(folder.path() / "Config.ini", "Winds", "Grib", "forecast.grb.bz2");

        app::AppData d;
        Dialogs dialogs;
        ASSERT_TRUE(startWith(folder, dialogs, d));
        EXPECT_TRUE(readAll(gribs / "forecast.grb") == demo);
        EXPECT_TRUE(readAll(gribs / "forecast.grb.bz2") == c.content);
        int files = 0;
        for (const auto& e : fs::directory_iterator(gribs)) files += !e.is_directory();
        EXPECT_EQ(files, 2);
        // The archive's name and the reason, then the chooser, then the constant wind.
        ASSERT_FALSE(dialogs.told.empty());
        EXPECT_NE(dialogs.told[0].find((gribs / "forecast.grb.bz2").string()), std::string::npos)
            << dialogs.told[0];
        EXPECT_NE(dialogs.told[0].find(c.told), std::string::npos) << dialogs.told[0];
        EXPECT_EQ(dialogs.chooserOpened, 1);
        EXPECT_TRUE(d.wind.empty());
    }
    // A sound archive loads from where it lies and stays there, as the configured forecast.
    ProgramFolder folder;
    const fs::path gribs = ownGribFolder(folder);
    write(gribs / "forecast.grb.bz2", archive);
    setKey(folder.path() / "Config.ini", "Winds", "Grib", "forecast.grb.bz2");
    app::AppData d;
    Dialogs dialogs;
    ASSERT_TRUE(startWith(folder, dialogs, d));
    EXPECT_FALSE(d.wind.empty());
    EXPECT_TRUE(dialogs.told.empty());
    EXPECT_TRUE(readAll(gribs / "forecast.grb.bz2") == archive);
    EXPECT_FALSE(fs::exists(gribs / "forecast.grb"));
    EXPECT_EQ(d.config.settings.winds.grib, "forecast.grb.bz2");
}

// A start-up that never came back from opening the configured forecast (killed, or crashed in
// the decoder) leaves the marker naming it; the next start asks before opening it again.
TEST(StartupGuards, AForecastWhoseOpeningNeverCameBackIsOpenedAgainOnlyWhenTheUserSaysSo) {
    const struct {
        const char* what;
        const char* marker; // the forecast the marker names, "" for no marker
        bool reopen;        // the user's answer
        bool asked, loaded, markerLeft;
    } cases[] = {
        {"no marker", "", false, false, true, false},
        {"marker, yes", "Demo.grb", true, true, true, false},
        {"marker, no", "Demo.grb", false, true, false, true},
        {"marker of another file", "Other.grb", false, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ProgramFolder folder;
        const fs::path gribs = ownGribFolder(folder);
        fs::copy_file(kDemoGrib, gribs / "Demo.grb");
        const std::string configured = (gribs / "Demo.grb").string();
        const std::string marker = app::gribOpeningMarker(folder.str());
        if (*c.marker) write(marker, (gribs / c.marker).string() + "\n");

        // While the forecast loads, the marker names it.
        std::string markedDuringLoad;
        gribDecoder().setProgress([&](std::size_t, std::size_t) {
            if (markedDuringLoad.empty()) markedDuringLoad = readAll(marker);
        });
        app::AppData d;
        Dialogs dialogs;
        dialogs.reopen = c.reopen;
        const bool started = startWith(folder, dialogs, d);
        gribDecoder().setProgress({});
        ASSERT_TRUE(started);

        EXPECT_EQ(dialogs.asked,
                  c.asked ? std::vector<std::string>{configured} : std::vector<std::string>{});
        EXPECT_EQ(!d.wind.empty(), c.loaded);
        EXPECT_EQ(d.config.settings.routing.uniqueWind, !c.loaded);
        EXPECT_EQ(fs::exists(marker), c.markerLeft);
        if (c.loaded) {
            EXPECT_EQ(markedDuringLoad, configured + "\n");
        }
        // "No" starts without a forecast: no file dialog, only the constant-wind notice.
        EXPECT_EQ(dialogs.chooserOpened, 0);
        EXPECT_EQ(dialogs.told.size(), c.loaded ? 0u : 1u);
        // The setting still names the forecast: it can be opened again later.
        EXPECT_EQ(d.config.settings.winds.grib, "Demo.grb");
    }
}

// Temporaries that a save killed half-way left in the program folder are removed at the
// next start once stale; a fresh one (a save at work) and anything that is not unmistakably
// the writer's are kept.
TEST(StartupGuards, StaleTemporariesOfKilledSavesAreRemovedAtTheNextStart) {
    ProgramFolder folder;
    const fs::path data = folder.path() / "Data";
    const fs::path routes = folder.path() / "Routes";
    fs::remove(routes); // a folder of its own, not the link to the shipped one
    fs::create_directories(routes);
    const auto old = fs::file_time_type::clock::now() - std::chrono::hours(2);
    const auto make = [&](const fs::path& p, bool stale) {
        write(p, std::string(4096, 'x'));
        if (stale) fs::last_write_time(p, old);
        return p;
    };
    const fs::path removed[] = {
        make(data / ".Barriers.gpx.Ab12Cd", true),
        make(data / ".Route.gpx.x9Y8z7", true),
        make(folder.path() / ".Config.ini.QQwwEE", true),
        make(routes / ".Crossing.gpx.Zz00Zz", true),
    };
    const fs::path kept[] = {
        make(data / ".Barriers.gpx.Fr35h1", false),  // a save at work
        make(data / ".Notes.txt.Ab12Cd", true),      // not a file the program saves
        make(data / ".Barriers.gpx.Ab12C", true),    // not the writer's name
        make(routes / ".Crossing.txt.Zz00Zz", true), // not a route file
    };
    app::AppData d;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), d, error)) << error;
    for (const fs::path& p : removed) EXPECT_FALSE(fs::exists(p)) << p;
    for (const fs::path& p : kept) EXPECT_TRUE(fs::exists(p)) << p;
    EXPECT_FALSE(d.route.waypoints.empty()); // the user's own route was read as usual
}

// Every [Map] key at the lowest and at the highest value of its range: the start-up's view is
// set up and the chart drawn at once (TransX=1e15, inside the old range, stepped 360 degrees
// at a time for days).
TEST(StartupGuards, TheChartIsSetUpWithEveryMapKeyAtEitherEndOfItsRange) {
    ProgramFolder folder;
    app::AppData d;
    std::string error;
    ASSERT_TRUE(app::startUp(folder.str(), d, error)) << error;
    ::alarm(240); // a hang ends this program instead of the whole test run
    for (const SettingRange& range : settingRanges()) {
        if (std::string(range.section) != "Map") continue;
        for (const double value : {range.min, range.max}) {
            SCOPED_TRACE(std::string(range.key) + "=" + std::to_string(value));
            std::ostringstream text;
            text.precision(17);
            text << value;
            setKey(folder.path() / "Config.ini", "Map", range.key, text.str());
            ConfigStore config;
            ASSERT_TRUE(config.load(folder.str(), nullptr, error)) << error;
            d.config.settings.map = config.settings.map;
            const auto started = std::chrono::steady_clock::now();
            MapView view;
            app::setUpView(view, d, 640, 400, false);
            EXPECT_GE(view.westLon, -180.0);
            EXPECT_LE(view.westLon, 180.0);
            const QImage image = app::renderChartImage(d, view, app::displayWind(d), nullptr);
            EXPECT_EQ(image.width(), 640);
            EXPECT_LT(std::chrono::steady_clock::now() - started, std::chrono::seconds(20));
        }
        // Back to the shipped value before the next key.
        std::string shipped;
        IniFile ini;
        ASSERT_TRUE(ini.load(std::string(NAVOREL_SOURCE_DIR) + "/dist/Config.ini", error));
        setKey(folder.path() / "Config.ini", "Map", range.key, ini.readText("Map", range.key));
    }
    ::alarm(0);
}
