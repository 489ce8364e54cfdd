#include "app/startup.h"

#include "core/atomic_file.h"
#include "core/file_check.h"
#include "geo/gpx.h"
#include "weather/tide_text.h"

#include <algorithm>
#include <chrono>
#include <clocale>
#include <filesystem>
#include <thread>

namespace navorel::app {

namespace fs = std::filesystem;

bool loadConfiguration(const std::string& folder, AppData& d, std::string& error) {
    // Every decimal number in the program's files is read and written with a point.
    std::setlocale(LC_NUMERIC, "C");
    d.folder = folder;
    std::string detail;
    if (!d.config.load(folder, &d.log, detail)) {
        error = "The configuration cannot be loaded.\n\nReinstall the file Config.ini in the "
                "root folder\nof Navorel or correct the file.";
        return false;
    }
    d.firstRun = d.config.settings.window.firstOpening;
    if (!chooseStartupLanguage(d.config.settings.window, d.texts, folder, systemLocaleName(),
                               &d.log, detail)) {
        error = kLanguageLoadFailure;
        return false;
    }
    return true;
}

namespace {

// A forecast (plain or .bz2, which is kept and never decompressed beside itself) into the
// wind store. A missing file fails silently; a file that is there but cannot be loaded leaves
// "PATH:\nreason" in `error` for the user.
bool loadWind(AppData& d, const std::string& path, std::string& error) {
    error.clear();
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) return false;
    std::string reason;
    const GribLoadStatus status =
        openForecast(path, d.wind, d.windColors, d.config.settings.routing.lag, reason);
    if (status == GribLoadStatus::BadGrid) reason = d.texts.text(kTextGribBadGrid);
    // "no GRIB message in PATH" names the file itself.
    if (status != GribLoadStatus::Ok)
        error = status == GribLoadStatus::NoMessage ? reason : path + ":\n" + reason;
    if (status != GribLoadStatus::Ok || d.wind.empty()) return false;
    // What the information panel and the routing dialog tell of the forecast.
    d.wind.rebuildInformationText(gribDisplayName(path), d.texts);
    return true;
}

// The folder of a chosen file as a folder setting, and its name.
void splitChosen(const std::string& path, std::string& folderSetting, std::string& name) {
    const fs::path p(path);
    folderSetting = p.parent_path().string() + "/";
    name = p.filename().string();
}

// A user file that cannot be read is moved aside, so that the save at exit does not put an
// empty set in its place: NAME.bad, or NAME.bad2, NAME.bad3, ... when that is taken. When it
// cannot be moved, `keep` asks the shut-down to leave it alone. Answers the message to show.
std::string setAside(const std::string& path, const std::string& reason, bool& keep) {
    std::error_code ec;
    for (int n = 1; n <= 99; ++n) {
        const std::string aside = path + ".bad" + (n == 1 ? std::string() : std::to_string(n));
        if (fs::exists(fs::symlink_status(aside, ec))) continue;
        fs::rename(path, aside, ec);
        if (ec) break;
        return reason + "\n\nThe file was moved to " + aside + "; the program starts without it.";
    }
    keep = true;
    return reason + "\n\nThe file is kept as it is and will not be saved at exit.";
}

// The question of a forecast whose opening never came back.
constexpr int kTextReopenGrib = 444;

// A temporary of the atomic writer is stale once nothing has written to it for this long; a
// save takes well under a second.
constexpr std::chrono::minutes kStaleTemporaryAge{5};

// The temporaries a save killed half-way left in the places the program saves to: beside
// Config.ini, the route, barrier, waypoint and traffic-zone files, and the GPX files of the
// program folder's own Routes, Waypoints and Barriers folders.
void removeStaleSaveTemporaries(const ProgramPaths& paths) {
    const auto gpx = [](std::string_view name) {
        return name.size() > 4 && name.substr(name.size() - 4) == ".gpx";
    };
    const auto fileName = [](const std::string& path) {
        return fs::path(path).filename().string();
    };
    const auto folderOf = [](const std::string& path) {
        return fs::path(path).parent_path().string();
    };
    const std::string configName = fileName(paths.configFile);
    removeStaleTemporaries(
        paths.programFolder, [&](std::string_view n) { return n == configName; },
        kStaleTemporaryAge);
    const std::string routeName = fileName(paths.routeFile),
                      barrierName = fileName(paths.barrierFile),
                      waypointName = fileName(paths.waypointFile),
                      tssName = fileName(paths.tssFile),
                      markerName = fileName(gribOpeningMarker(paths.programFolder));
    removeStaleTemporaries(
        folderOf(paths.routeFile),
        [&](std::string_view n) {
            return n == routeName || n == barrierName || n == waypointName || n == tssName ||
                   n == markerName;
        },
        kStaleTemporaryAge);
    for (const std::string& folder :
         {paths.defaultRoutesFolder, paths.defaultWaypointsFolder, paths.barriersFolder})
        removeStaleTemporaries(folder, gpx, kStaleTemporaryAge);
}

// The configured forecast at start-up. A forecast whose last opening never came back (the
// marker still names it) is opened again only when the user says so; `declined` tells that
// the user said no. The marker names the forecast for as long as its load runs.
bool loadConfiguredWind(AppData& d, const StartupHooks& hooks, const std::string& path,
                        std::string& error, bool& declined) {
    error.clear();
    declined = false;
    std::error_code ec;
    if (path.empty() || !fs::exists(path, ec)) return false;
    const std::string marker = gribOpeningMarker(d.folder);
    std::string interrupted, ignored;
    if (readRegularFile(marker, 64 * 1024, interrupted, ignored)) {
        while (!interrupted.empty() && interrupted.back() == '\n') interrupted.pop_back();
        if (interrupted == path && hooks.askReopenGrib && !hooks.askReopenGrib(path)) {
            // The marker stays: the next start asks again while the settings name this file.
            declined = true;
            return false;
        }
    }
    // A folder that cannot be written to only loses the question at the next start.
    replaceFileContents(marker, path + "\n", ignored);
    const bool loaded = loadWind(d, path, error);
    fs::remove(marker, ec);
    return loaded;
}

} // namespace

std::string gribOpeningMarker(const std::string& folder) {
    return folder + "/Data/GribOpening.txt";
}

std::string reopenGribQuestion(const TextProvider& texts, const std::string& path) {
    return texts.text(kTextReopenGrib) + "\n\n" + path;
}

bool runStartupSequence(AppData& d, const StartupHooks& hooks, std::string& error) {
    std::setlocale(LC_NUMERIC, "C");
    Settings& settings = d.config.settings;
    RoutingParameters& params = settings.routing;
    const ProgramPaths& paths = d.config.paths;
    const std::string& folder = d.folder;
    removeStaleSaveTemporaries(paths);

    d.drawingShore = std::make_unique<ShorelineStore>(paths.gshhsFolder);
    d.log.step("Gshhs rendering = OK");
    d.routingShore = std::make_unique<ShorelineStore>(paths.gshhsFolder);
    d.routingShore->openLevel(params.coastsQuality);
    d.log.step("Gshhs routing = OK");
    d.tss.initZones(paths.tssFolder, paths.tssFile);
    d.log.step("TSS = OK");
    for (const std::string& refused : d.tss.loadErrors) d.log.step("TSS: " + refused);
    loadCities(paths.citiesFile, d.cities);
    d.log.step("Cities = OK");

    const std::string colorsFolder = folder + "/Data/Colors";
    d.colors.loadNamedColors(colorsFolder);
    d.colors.loadWindScale(colorsFolder, settings.winds.colors);
    d.windColors =
        buildRamp(d.colors.windScale(), static_cast<std::uint32_t>(settings.map.colorSea));
    d.log.step("Colors = OK");
    if (hooks.splashStage) hooks.splashStage(1);

    // The stations are read here; their tide tables, the large part, on a thread of their own
    // while the start-up goes on (the current atlases need the station names only). The
    // thread ends before this sequence returns, whichever way it returns.
    const std::string tidesFolder = folder + "/Data/Tides";
    std::string harmonics;
    d.haveCurrents =
        readTextFile(tidesFolder + "/Harmonics", harmonics) && d.tides.parseHarmonics(harmonics);
    std::jthread tideTables;
    if (d.haveCurrents)
        tideTables =
            std::jthread([&tides = d.tides, tidesFolder] { tides.loadTables(tidesFolder); });
    d.log.step("Tides = OK");
    if (hooks.splashStage) hooks.splashStage(2);
    d.haveCurrents = d.haveCurrents && d.currents.load(folder + "/Currents", d.tides);
    if (d.haveCurrents) d.currents.setStreamProvider(params.streamProvider);
    d.log.step("Currents = OK");

    // Waypoints are checked against the finest shoreline; the routing uses its own level.
    d.finestShore = std::make_unique<ShorelineStore>(paths.gshhsFolder);
    d.finestShore->openLevel(4);
    d.finestTests = std::make_unique<StoreCrossings>(
        d.finestShore->hasFile() ? d.finestShore.get() : nullptr, nullptr);
    std::vector<std::string> unreadable;
    std::string reason;
    if (fs::exists(paths.routeFile) && !loadUserRoute(paths.routeFile, d.route.waypoints, reason)) {
        d.route.waypoints.clear();
        unreadable.push_back(setAside(paths.routeFile, reason, d.keepRouteFile));
    }
    recompute(d.route, params, d.finestTests.get());
    d.log.step("Route = OK");
    if (fs::exists(paths.barrierFile) &&
        !loadBarriers(paths.barrierFile, d.barriers.barriers, reason)) {
        d.barriers.barriers.clear();
        unreadable.push_back(setAside(paths.barrierFile, reason, d.keepBarrierFile));
    }
    d.crossings =
        std::make_unique<StoreCrossings>(d.routingShore->hasFile() ? d.routingShore.get() : nullptr,
                                         &d.barriers.barriers, &d.tss.avoided);
    d.log.step("Barriers = OK");

    if (hooks.showWindow) hooks.showWindow();
    if (fs::exists(paths.waypointFile)) {
        // Without a set the shut-down writes no waypoint file, so this one stays as it is.
        d.haveWaypoints = loadWaypointSet(paths.waypointFile, d.waypoints, reason);
        if (!d.haveWaypoints) {
            d.waypoints = {};
            unreadable.push_back(reason);
        }
    }
    d.log.step("Waypoints = OK");
    if (hooks.inform)
        for (const std::string& message : unreadable) hooks.inform(message);
    if (hooks.splashStage) hooks.splashStage(3);

    // Without a usable GRIB (and none chosen) the program runs on the constant wind. Why a
    // file that is there could not be loaded is shown before the dialog opens.
    std::string gribError;
    bool declined = false;
    bool haveWind = loadConfiguredWind(
        d, hooks, folderPath(folder, settings.folders.gribs) + settings.winds.grib, gribError,
        declined);
    if (!gribError.empty() && hooks.inform) hooks.inform(gribError);
    if (!haveWind && !declined && hooks.chooseGrib) {
        const std::string chosen = hooks.chooseGrib();
        haveWind = loadWind(d, chosen, gribError);
        if (!gribError.empty() && hooks.inform) hooks.inform(gribError);
        if (haveWind) {
            // The next start opens the chosen file again, a .bz2 one included.
            splitChosen(chosen, settings.folders.gribs, settings.winds.grib);
            settings.winds.showArrows = true;
            params.uniqueWind = false;
        }
    }
    if (haveWind) {
        d.coverage = windCoverage(d.wind);
    } else {
        d.wind.clear();
        params.uniqueWind = true;
        settings.winds.showZones = false;
        if (hooks.inform) hooks.inform(d.texts.text(234));
    }
    d.windField = std::make_unique<StoreWindField>(d.wind, params);
    d.log.step("Winds = OK");

    const std::string polarPath = folderPath(folder, settings.folders.polars) + settings.polarName;
    std::string detail;
    bool havePolar = fs::is_regular_file(polarPath) && loadPolar(polarPath, d.polar, detail);
    if (!havePolar && hooks.choosePolar) {
        const std::string chosen = hooks.choosePolar();
        if (chosen.empty()) {
            error.clear();
            return false;
        }
        havePolar = loadPolar(chosen, d.polar, detail);
        if (havePolar) splitChosen(chosen, settings.folders.polars, settings.polarName);
    }
    if (!havePolar) {
        error = "The polar cannot be loaded: " + (detail.empty() ? polarPath : detail);
        return false;
    }
    d.log.step("Polar = OK");
    // The last fix starts at 0; the window opens the GPS link on [Com] Device once it shows.
    d.boat = {};
    d.log.step("GPS = OK");
    return true;
}

bool startUp(const std::string& folder, AppData& d, std::string& error) {
    return loadConfiguration(folder, d, error) && runStartupSequence(d, {}, error);
}

WindowPlace fitToScreen(const WindowSettings& c, int screenWidth, int screenHeight) {
    WindowPlace p;
    p.width = std::min(screenWidth, c.width);
    p.height = std::min(screenHeight, c.height);
    p.x = std::max(0, c.x);
    p.y = std::max(0, c.y);
    if (p.x + p.width > screenWidth) p.x = screenWidth - p.width;
    if (p.y + p.height > screenHeight) p.y = screenHeight - p.height;
    return p;
}

void saveAtExit(AppData& d, const MapView* view, std::vector<std::string>& errors) {
    Settings& settings = d.config.settings;
    if (view) {
        settings.map.scale = view->scale;
        settings.map.transX = view->transX;
        settings.map.transY = view->transY;
        settings.map.zoom = view->zoom;
    }
    std::string error;
    if (!d.config.save(error) && !error.empty()) errors.push_back(error);
    const ProgramPaths& paths = d.config.paths;
    if (!d.keepRouteFile && !saveUserRoute(paths.routeFile, d.route.waypoints, error))
        errors.push_back(error);
    if (!d.keepBarrierFile && !saveBarriers(paths.barrierFile, d.barriers.barriers, error))
        errors.push_back(error);
    if (d.haveWaypoints && !saveWaypointSet(paths.waypointFile, d.waypoints, error))
        errors.push_back(error);
}

void shutDown(AppData& d, const MapView* view, std::vector<std::string>& errors) {
    saveAtExit(d, view, errors);
    d.log.end();
}

RunSetup makeRunSetup(AppData& d, RunControl& control, FrontCallback afterFront) {
    Settings& settings = d.config.settings;
    RunSetup setup;
    setup.params = &settings.routing;
    setup.polar = &d.polar;
    setup.polarsFolder = folderPath(d.folder, settings.folders.polars);
    setup.wind = d.windField.get();
    setup.coverage = d.coverage;
    setup.crossings = d.crossings.get();
    setup.current = d.haveCurrents ? &d.currents : nullptr;
    if (!d.oceanWaves.empty() && !d.waveTable.empty()) {
        setup.waves = &d.oceanWaves;
        setup.waveTable = &d.waveTable;
    }
    setup.control = &control;
    setup.route = &d.route;
    setup.start =
        d.startChosen ? fromDayNumber(d.startTime)
        : d.wind.empty()
            ? now()
            : fromDayNumber(d.wind.frameTimes()[static_cast<std::size_t>(d.wind.currentFrame())]);
    ShorelineStore* store = d.routingShore.get();
    setup.reopenShoreline = [store](int level) {
        if (level != store->level()) store->openLevel(level);
    };
    setup.afterFront = std::move(afterFront);
    return setup;
}

bool routeBox(const UserRoute& route, GeoBox& box) {
    if (route.waypoints.size() < 2) return false;
    box = {route.waypoints[0].lon, route.waypoints[0].lon, route.waypoints[0].lat,
           route.waypoints[0].lat};
    for (const GeoPoint& p : route.waypoints) {
        box.west = std::min<double>(box.west, p.lon);
        box.east = std::max<double>(box.east, p.lon);
        box.south = std::min<double>(box.south, p.lat);
        box.north = std::max<double>(box.north, p.lat);
    }
    return true;
}

} // namespace navorel::app
