#include "app/startup.h"

#include "geo/gpx.h"

#include <algorithm>
#include <clocale>
#include <filesystem>

namespace navorel::app {

namespace fs = std::filesystem;

bool chooseProgramFolder(const std::string& given, const std::string& distFolder,
                         std::string& folder, std::string& error) {
    if (!given.empty()) {
        folder = given;
        return true;
    }
    folder = defaultProgramFolder();
    if (folder.empty()) {
        error = "No program folder: neither XDG_DATA_HOME nor HOME is set.";
        return false;
    }
    std::error_code ec;
    if (fs::exists(folder + "/Config.ini", ec)) return true;
    // First run: the per-user folder starts as a copy of the shipped one, keeping any file
    // the user already put there.
    fs::create_directories(folder, ec);
    if (!ec)
        fs::copy(distFolder, folder, fs::copy_options::recursive | fs::copy_options::skip_existing,
                 ec);
    if (ec || !fs::exists(folder + "/Config.ini")) {
        error = "The program folder " + folder + " cannot be filled from " + distFolder + ": " +
                (ec ? ec.message() : std::string("no Config.ini"));
        return false;
    }
    return true;
}

bool startUp(const std::string& folder, AppData& d, std::string& error) {
    std::setlocale(LC_NUMERIC, "C");
    d.folder = folder;
    std::string detail;
    if (!d.config.load(folder, &d.log, detail)) {
        error = "The configuration cannot be loaded.\n\nReinstall the file Config.ini in the "
                "root folder\nof Navorel or correct the file.";
        return false;
    }
    Settings& settings = d.config.settings;
    RoutingParameters& params = settings.routing;
    if (!chooseStartupLanguage(settings.window, d.texts, folder, systemLocaleName(), &d.log,
                               detail)) {
        error = kLanguageLoadFailure;
        return false;
    }

    const ProgramPaths& paths = d.config.paths;
    d.drawingShore = std::make_unique<ShorelineStore>(paths.gshhsFolder);
    d.log.step("Gshhs rendering = OK");
    d.routingShore = std::make_unique<ShorelineStore>(paths.gshhsFolder);
    d.routingShore->openLevel(params.coastsQuality);
    d.log.step("Gshhs routing = OK");

    d.haveCurrents = d.tides.load(folder + "/Data/Tides");
    d.log.step("Tides = OK");
    d.haveCurrents = d.haveCurrents && d.currents.load(folder + "/Currents", d.tides);
    if (d.haveCurrents) d.currents.setStreamProvider(params.streamProvider);
    d.log.step("Currents = OK");

    // Waypoints are checked against the finest shoreline; the routing uses its own level.
    d.finestShore = std::make_unique<ShorelineStore>(paths.gshhsFolder);
    d.finestShore->openLevel(4);
    d.finestTests = std::make_unique<StoreCrossings>(
        d.finestShore->hasFile() ? d.finestShore.get() : nullptr, nullptr);
    std::string ignored;
    if (!loadUserRoute(paths.routeFile, d.route.waypoints, ignored)) d.route.waypoints.clear();
    recompute(d.route, params, d.finestTests.get());
    d.log.step("Route = OK");
    if (fs::exists(paths.barrierFile)) loadBarriers(paths.barrierFile, d.barriers, ignored);
    d.crossings = std::make_unique<StoreCrossings>(
        d.routingShore->hasFile() ? d.routingShore.get() : nullptr, &d.barriers);
    d.log.step("Barriers = OK");

    // Without a usable GRIB the program runs on the constant wind.
    const std::string gribPath = folderPath(folder, settings.folders.gribs) + settings.winds.grib;
    if (!settings.winds.grib.empty() &&
        d.wind.loadGrib(gribPath, WindColorRamp{}, nullptr) == GribLoadStatus::Ok &&
        !d.wind.empty()) {
        d.coverage = windCoverage(d.wind);
    } else {
        d.wind.clear();
        params.uniqueWind = true;
        settings.winds.showZones = false;
    }
    d.windField = std::make_unique<StoreWindField>(d.wind, params);
    d.log.step("Winds = OK");

    const std::string polarPath = folderPath(folder, settings.folders.polars) + settings.polarName;
    if (!loadPolar(polarPath, d.polar, detail)) {
        error = "The polar cannot be loaded: " + detail;
        return false;
    }
    d.log.step("Polar = OK");
    return true;
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
    setup.control = &control;
    setup.route = &d.route;
    setup.start =
        d.wind.empty()
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
