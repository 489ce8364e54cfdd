// The loading shared by navorel-cli route and plan.
#include "cli/route_session.h"

#include "cli/commands.h"
#include "core/atomic_file.h"
#include "settings/program_folder.h"
#include "settings/setting_ranges.h"
#include "weather/color_table.h"
#include "weather/grib.h"
#include "weather/tide_text.h"

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <filesystem>

namespace navorel::cli {

namespace {

namespace fs = std::filesystem;

// Section.Key=Value applied through the configuration's own binding of that key, once the
// value is known to be a number of the key's kind within its range.
bool applySetting(ConfigStore& config, const std::string& assignment, std::string& error) {
    const auto dot = assignment.find('.');
    const auto eq = assignment.find('=');
    if (dot == std::string::npos || eq == std::string::npos || dot > eq) {
        error = "--set takes Section.Key=Value, not '" + assignment + "'";
        return false;
    }
    const std::string section = assignment.substr(0, dot);
    const std::string key = assignment.substr(dot + 1, eq - dot - 1);
    IniBinding binding;
    if (!config.findBinding(section, key, binding)) {
        error = "unknown setting " + section + "." + key;
        return false;
    }
    const std::string text = assignment.substr(eq + 1);
    double value = 0;
    if (const SettingRange* range = findSettingRange(section, key))
        if (!parseSettingValue(*range, text, value, error)) return false;
    IniFile ini;
    ini.parse("[" + section + "]\n" + key + "=" + text + "\n");
    readBinding(ini, binding);
    return true;
}

void jsonPoint(std::string& out, const IsochronePoint& p) {
    appendf(out,
            "{\"parentTime\":%.17g,\"valid\":%d,\"stepSeconds\":%.17g,\"parentLon\":%.9g,"
            "\"parentLat\":%.9g,\"commandedHeading\":%.9g,\"currentDir\":%.9g,"
            "\"currentSpeed\":%.9g,\"currentDot\":%.9g,\"windDir\":%.9g,\"windSpeed\":%.9g,"
            "\"twd\":%.9g,\"tws\":%.9g,\"twa\":%.9g,\"awa\":%.9g,\"aws\":%.9g,\"awaSide\":%d,"
            "\"engine\":%d,\"boatSpeed\":%.9g,\"sog\":%.9g,\"heading\":%.9g,\"cog\":%.9g,"
            "\"stepDistance\":%.9g,\"time\":%.17g,\"lon\":%.9g,\"lat\":%.9g,"
            "\"distToTarget\":%.9g,\"totalDistance\":%.9g,\"fuel\":%.9g,"
            "\"engineSeconds\":%.9g,\"index\":%d,\"parent\":%d,\"arrived\":%d}",
            p.parentTime.dayNumber, p.valid, p.stepSeconds, p.parentLon, p.parentLat,
            p.commandedHeading, p.currentDir, p.currentSpeed, p.currentDot, p.windDir, p.windSpeed,
            p.twd, p.tws, p.twa, p.awa, p.aws, p.awaSide, p.engine, p.boatSpeed, p.sog, p.heading,
            p.cog, p.stepDistance, p.time.dayNumber, p.lon, p.lat, p.distToTarget, p.totalDistance,
            p.fuel, p.engineSeconds, p.index, p.parent, p.arrived);
}

// The stream atlases of the program folder over its tide stations, with the tide tables of
// the active provider's ports only: the streams read no other table. False when there are no
// stations or no atlas.
bool loadStreams(const std::string& folder, int provider, TideHarmonics& tides,
                 CurrentProvider& currents) {
    const std::string tidesFolder = folder + "/Data/Tides";
    std::string text;
    if (!readTextFile(tidesFolder + "/Harmonics", text) || !tides.parseHarmonics(text) ||
        !currents.load(folder + "/Currents", tides))
        return false;
    currents.setStreamProvider(provider);
    std::vector<bool> ports(static_cast<std::size_t>(tides.stationCount()), false);
    if (const CurrentField* field = currents.activeField())
        for (const CurrentPoint& p : field->vertices)
            if (p.port >= 0 && p.port < tides.stationCount())
                ports[static_cast<std::size_t>(p.port)] = true;
    tides.loadTables(tidesFolder, ports);
    return true;
}

// SIGINT and SIGTERM cancel the run as Escape does in the window: the partial result is
// still written.
std::atomic<RunControl*> gRunControl{nullptr};

void cancelRun(int) {
    if (RunControl* control = gRunControl.load()) {
        control->cancel.store(true);
        control->status.store(kStatusCancelled);
    }
}

} // namespace

void jsonString(std::string& out, const std::string& s) {
    out += '"';
    for (unsigned char c : s) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char buf[8];
            std::snprintf(buf, sizeof buf, "\\u%04x", c);
            out += buf;
        } else {
            out += static_cast<char>(c);
        }
    }
    out += '"';
}

void appendf(std::string& out, const char* format, ...) {
    char buf[2048];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n > 0) out.append(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
}

std::string runJson(const RunSummary& s) {
    std::string out;
    appendf(out, "{\"summary\":{\"power\":%d,\"polar\":", s.power);
    jsonString(out, s.polarName);
    // The forecast of a run of a series over several forecasts.
    if (!s.label.empty()) {
        out += ",\"forecast\":";
        jsonString(out, s.label);
        appendf(out, ",\"source\":%d", s.source);
    }
    appendf(out,
            ",\"rating\":%.9g,\"variation\":%d,\"startOffset\":%d,\"minSog\":%.9g,"
            "\"maxSog\":%.9g,\"minTws\":%.9g,\"maxTws\":%.9g,\"advanceCalls\":%lld,"
            "\"storeSize\":%d,\"inProgress\":%s,\"status\":%d},\"points\":[",
            s.rating, s.variation, s.startOffset, s.minSog, s.maxSog, s.minTws, s.maxTws,
            s.advanceCalls, s.storeSize, s.inProgress ? "true" : "false", s.status);
    for (std::size_t i = 0; i < s.route.size(); ++i) {
        if (i) out += ',';
        jsonPoint(out, s.route[i]);
        // With a wave forecast, the significant wave height met at the start of the step.
        if (i < s.waveHeights.size()) {
            out.pop_back();
            if (std::isnan(s.waveHeights[i]))
                out += ",\"waveHeight\":null}";
            else
                appendf(out, ",\"waveHeight\":%.9g}", s.waveHeights[i]);
        }
    }
    out += "]";
    double meanWave = 0, maxWave = 0;
    if (waveHeightTotals(s, meanWave, maxWave))
        appendf(out, ",\"waveHeightMean\":%.9g,\"waveHeightMax\":%.9g", meanWave, maxWave);
    out += "}";
    return out;
}

CancelOnSignal::CancelOnSignal(RunControl& control) {
    gRunControl.store(&control);
    struct sigaction action {};
    action.sa_handler = cancelRun;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, &oldInt);
    sigaction(SIGTERM, &action, &oldTerm);
}

CancelOnSignal::~CancelOnSignal() {
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
    gRunControl.store(nullptr);
}

RouteOptions takeRouteOptions(std::vector<std::string>& args) {
    RouteOptions o;
    o.demo = takeFlag(args, "--demo");
    o.progress = takeFlag(args, "--progress");
    takeOption(args, "--folder", o.folder);
    std::string grib;
    while (takeOption(args, "--grib", grib)) o.gribs.push_back(grib);
    if (!o.gribs.empty()) o.grib = o.gribs.front();
    o.forecastSet = o.gribs.size() > 1;
    takeOption(args, "--polar", o.polar);
    takeOption(args, "--route", o.route);
    takeOption(args, "--currents", o.currents);
    takeOption(args, "--waves", o.waves);
    std::string value;
    while (takeOption(args, "--set", value)) o.sets.push_back(value);
    return o;
}

bool parseThreads(const std::string& text, int& threads, std::string& error) {
    threads = 0;
    if (text.empty()) return true;
    double n = 0;
    if (!parseNumber(text, n) || n < 1 || n > 256 || n != static_cast<int>(n)) {
        error = "--threads takes a whole number from 1 to 256, not '" + text + "'";
        return false;
    }
    threads = static_cast<int>(n);
    return true;
}

bool RouteSession::load(const RouteOptions& options, std::string& error) {
    if (options.demo && !options.folder.empty()) {
        error = "--demo and --folder exclude each other";
        return false;
    }
    if (options.demo)
        folder = shippedProgramFolder(NAVOREL_DIST_DIR);
    else if (!resolveProgramFolder(options.folder, NAVOREL_DIST_DIR, false, folder, error))
        return false;
    if (!config.load(folder, nullptr, error)) return false;
    for (const std::string& s : options.sets)
        if (!applySetting(config, s, error)) return false;
    Settings& settings = config.settings;
    RoutingParameters& p = settings.routing;

    if (!loadLanguageWithEnglish(folder, settings.window.language, texts, error) &&
        !texts.load(folder, "English", error)) {
        error = "the language file cannot be loaded: " + error;
        return false;
    }

    std::string polarPath = options.polar;
    if (polarPath.empty())
        polarPath = folderPath(folder, settings.folders.polars) + settings.polarName;
    if (!loadPolar(polarPath, polar, error)) return false;

    std::string gribPath = options.grib;
    if (gribPath.empty())
        gribPath = folderPath(folder, settings.folders.gribs) + settings.winds.grib;
    if (!p.uniqueWind && !options.forecastSet) {
        std::string gribError;
        // A large forecast takes a while: its messages are counted on standard error.
        if (options.progress)
            gribDecoder().setProgress([](std::size_t done, std::size_t total) {
                std::fprintf(stderr, "\rreading the forecast: message %zu of %zu   ", done, total);
            });
        const GribLoadStatus loaded =
            openForecast(gribPath, store, WindColorRamp{}, p.lag, gribError);
        if (options.progress) {
            gribDecoder().setProgress({});
            std::fprintf(stderr, "\n");
        }
        if (loaded != GribLoadStatus::Ok) {
            // "no GRIB message in FILE" names the file itself.
            error = loaded == GribLoadStatus::NoMessage ? gribError : gribPath + ": " + gribError;
            if (loaded == GribLoadStatus::SeveralMembers) error += " (--members chooses them)";
            return false;
        }
        coverage = windCoverage(store);
    }
    wind = std::make_unique<StoreWindField>(store, p);

    const std::string routePath = options.route.empty() ? config.paths.routeFile : options.route;
    if (!loadUserRoute(routePath, route.waypoints, error)) return false;
    std::string barrierError;
    if (fs::exists(config.paths.barrierFile))
        loadBarriers(config.paths.barrierFile, barriers, barrierError);

    // The route's waypoints are checked against the finest shoreline; the routing uses the
    // level of its settings.
    finest = std::make_unique<ShorelineStore>(config.paths.gshhsFolder);
    finest->openLevel(4);
    const StoreCrossings finestTests(finest->hasFile() ? finest.get() : nullptr, nullptr);
    recompute(route, p, &finestTests);
    routingStore = std::make_unique<ShorelineStore>(config.paths.gshhsFolder);
    routingStore->openLevel(p.coastsQuality);
    if (p.avoidTss) {
        zones.initZones(config.paths.tssFolder, config.paths.tssFile);
        for (const std::string& refused : zones.loadErrors)
            std::fprintf(stderr, "navorel-cli: %s\n", refused.c_str());
    }
    crossings = std::make_unique<StoreCrossings>(
        routingStore->hasFile() ? routingStore.get() : nullptr, &barriers, &zones.avoided);
    if (p.avoidCoasts && !routingStore->hasFile())
        std::fprintf(stderr,
                     "navorel-cli: no shoreline file in %s: the routing ignores the coast\n",
                     config.paths.gshhsFolder.c_str());

    if (options.forecastSet && !loadForecastSet(options, gribPath, error)) return false;

    // Tidal streams, when the run sails with them and the program folder has tides and
    // current atlases. Without streams nothing of them is read (the counter-current option
    // acts on the stream only).
    // The ocean forecasts keep the box of the route's legs, message by message.
    const GribBox oceanBox = gribBoxAround(route.waypoints, kOceanRouteMargin);
    // Provider 2, the current forecast, reads no tide.
    if (!options.currents.empty()) {
        if (openCurrentForecast(options.currents, oceanCurrents, error, oceanBox) !=
            FieldLoadStatus::Ok)
            return false;
        currents.setForecast(&oceanCurrents);
    }
    if (p.streamProvider == 2) {
        currents.setStreamProvider(2);
        haveCurrents = p.currents && currents.mode() == 2;
    } else {
        haveCurrents = p.currents && loadStreams(folder, p.streamProvider, tides, currents);
    }

    if (!options.waves.empty()) {
        if (openWaveForecast(options.waves, oceanWaves, error, oceanBox) != FieldLoadStatus::Ok)
            return false;
        const std::string tablePath = folderPath(folder, settings.folders.polars) + kWaveTableFile;
        if (!loadWaveTable(tablePath, waveTable, error)) return false;
        haveWaves = true;
    }
    return true;
}

bool RouteSession::loadForecastSet(const RouteOptions& options, const std::string& gribPath,
                                   std::string& error) {
    ForecastSetOptions set;
    set.box = routingBox(route, params());
    set.members = options.members;
    set.lagHours = params().lag;
    const std::vector<std::string> paths =
        options.gribs.empty() ? std::vector<std::string>{gribPath} : options.gribs;
    if (!forecasts.load(paths, set, WindColorRamp{}, error)) return false;
    for (const std::string& note : forecasts.notes())
        std::fprintf(stderr, "navorel-cli: %s\n", note.c_str());
    forecastWinds.clear();
    for (const ForecastSource& source : forecasts.sources())
        forecastWinds.push_back(std::make_unique<StoreWindField>(*source.store, params()));
    // The first forecast stands for the set where one store is asked for (the default start);
    // when the forecasts are not scanned it is the one the plain routing sails on.
    const WindStore& first = *forecasts.sources().front().store;
    if (!params().scanForecasts) store = first;
    coverage = windCoverage(first);
    return true;
}

std::vector<SeriesSource> RouteSession::seriesSources() const {
    std::vector<SeriesSource> sources;
    const auto& all = forecasts.sources();
    for (std::size_t k = 0; k < all.size(); ++k)
        sources.push_back(
            {all[k].label, forecastWinds[k].get(), windCoverage(*all[k].store), all[k].member});
    return sources;
}

double RouteSession::defaultStart() const {
    if (!forecasts.empty()) {
        const WindStore& first = *forecasts.sources().front().store;
        return first.frameTimes()[static_cast<std::size_t>(first.currentFrame())];
    }
    return store.empty() ? now().dayNumber
                         : store.frameTimes()[static_cast<std::size_t>(store.currentFrame())];
}

RunSetup RouteSession::setup(RunControl& control, int threads, double start) {
    RunSetup s;
    s.params = &params();
    s.polar = &polar;
    s.polarsFolder = folderPath(folder, config.settings.folders.polars);
    s.wind = wind.get();
    s.coverage = coverage;
    s.crossings = crossings.get();
    s.current = haveCurrents ? &currents : nullptr;
    s.waves = haveWaves ? &oceanWaves : nullptr;
    s.waveTable = haveWaves ? &waveTable : nullptr;
    s.control = &control;
    s.route = &route;
    s.threads = threads;
    s.start = fromDayNumber(start);
    ShorelineStore* shore = routingStore.get();
    s.reopenShoreline = [shore](int level) {
        if (level != shore->level()) shore->openLevel(level);
    };
    return s;
}

} // namespace navorel::cli
