// navorel-cli route: a routing run from a program folder or explicit files, printing the
// results table and writing the GPX export and a JSON dump of every route point.
#include "cli/commands.h"
#include "core/atomic_file.h"
#include "core/datetime.h"
#include "geo/gpx.h"
#include "geo/shoreline_store.h"
#include "routing/obstacles.h"
#include "routing/routing_run.h"
#include "settings/config_store.h"
#include "settings/language_table.h"
#include "settings/program_folder.h"
#include "settings/setting_ranges.h"
#include "weather/color_table.h"
#include "weather/current_field.h"
#include "weather/grib.h"
#include "weather/tide_harmonics.h"
#include "weather/tide_text.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <algorithm>
#include <csignal>
#include <cstdarg>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>

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

void appendf(std::string& out, const char* format, ...) __attribute__((format(printf, 2, 3)));
void appendf(std::string& out, const char* format, ...) {
    char buf[2048];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(buf, sizeof buf, format, args);
    va_end(args);
    if (n > 0) out.append(buf, std::min<std::size_t>(static_cast<std::size_t>(n), sizeof buf - 1));
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

std::string resultJson(const RoutingResult& result) {
    std::string out = "{\"runs\":[";
    for (std::size_t k = 0; k < result.summaries.size(); ++k) {
        const RunSummary& s = result.summaries[k];
        appendf(out, "%s{\"summary\":{\"power\":%d,\"polar\":", k ? "," : "", s.power);
        jsonString(out, s.polarName);
        appendf(out,
                ",\"rating\":%.9g,\"variation\":%d,\"startOffset\":%d,\"minSog\":%.9g,"
                "\"maxSog\":%.9g,\"minTws\":%.9g,\"maxTws\":%.9g,\"advanceCalls\":%lld,"
                "\"storeSize\":%d,\"inProgress\":%s,\"status\":%d},\"points\":[",
                s.rating, s.variation, s.startOffset, s.minSog, s.maxSog, s.minTws, s.maxTws,
                s.advanceCalls, s.storeSize, s.inProgress ? "true" : "false", s.status);
        for (std::size_t i = 0; i < s.route.size(); ++i) {
            if (i) out += ',';
            jsonPoint(out, s.route[i]);
        }
        out += "]}";
    }
    out += "]}\n";
    return out;
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

struct CancelOnSignal {
    struct sigaction oldInt {
    }, oldTerm{};
    explicit CancelOnSignal(RunControl& control) {
        gRunControl.store(&control);
        struct sigaction action {};
        action.sa_handler = cancelRun;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &oldInt);
        sigaction(SIGTERM, &action, &oldTerm);
    }
    ~CancelOnSignal() {
        sigaction(SIGINT, &oldInt, nullptr);
        sigaction(SIGTERM, &oldTerm, nullptr);
        gRunControl.store(nullptr);
    }
};

// The exit code of a run that was not refused, with the reason of the first run that did not
// reach its destination. Statuses other than a cancel count as "not finished", whatever
// stopped the run.
int runOutcome(const RoutingResult& result, const TextProvider& texts, std::string& reason) {
    const std::size_t n = result.summaries.size();
    for (std::size_t k = 0; k < n; ++k) {
        const RunSummary& s = result.summaries[k];
        if (s.status == kStatusCancelled) {
            reason = "the routing was cancelled";
            return kExitCancelled;
        }
        if (s.inProgress && !s.route.empty()) continue;
        reason = texts.text(79);
        if (n > 1) appendf(reason, " (run %zu of %zu)", k + 1, n);
        if (s.route.empty())
            reason += ": no step could be made from the start";
        else
            appendf(reason, ": stopped %.1f nm short of a waypoint",
                    s.route.back().distToTarget / 1852.0);
        if (s.status != 0) appendf(reason, " (run status %d)", s.status);
        return kExitNotFinished;
    }
    if (n == 0) {
        reason = texts.text(79) + ": no run was made";
        return kExitNotFinished;
    }
    return kExitOk;
}

int routeCommand(const Args& given) {
    Args args = given;
    std::string givenFolder, folder, gribPath, polarPath, routePath, startText, gpxOut, jsonOut,
        value;
    const bool demo = takeFlag(args, "--demo");
    const bool progress = takeFlag(args, "--progress");
    takeOption(args, "--folder", givenFolder);
    takeOption(args, "--grib", gribPath);
    takeOption(args, "--polar", polarPath);
    takeOption(args, "--route", routePath);
    takeOption(args, "--start", startText);
    takeOption(args, "--gpx", gpxOut);
    takeOption(args, "--json", jsonOut);
    std::string threadsText;
    takeOption(args, "--threads", threadsText);
    std::vector<std::string> sets;
    while (takeOption(args, "--set", value)) sets.push_back(value);
    if (!args.empty()) return fail("unexpected argument '" + args[0] + "'");

    std::string error;
    // A bad time is refused before any file is read.
    double start = 0;
    if (!startText.empty() && !parseUtcTime(startText, start, error))
        return fail("--start: " + error);
    double threads = 0;
    if (!threadsText.empty() && (!parseNumber(threadsText, threads) || threads < 1 ||
                                 threads > 256 || threads != static_cast<int>(threads)))
        return fail("--threads takes a whole number from 1 to 256, not '" + threadsText + "'");
    if (demo && !givenFolder.empty()) return fail("--demo and --folder exclude each other");
    if (demo)
        folder = shippedProgramFolder(NAVOREL_DIST_DIR);
    else if (!resolveProgramFolder(givenFolder, NAVOREL_DIST_DIR, false, folder, error))
        return fail(error);
    ConfigStore config;
    if (!config.load(folder, nullptr, error)) return fail(error);
    for (const std::string& s : sets)
        if (!applySetting(config, s, error)) return fail(error);
    Settings& settings = config.settings;
    RoutingParameters& params = settings.routing;

    LanguageTable texts;
    if (!loadLanguageWithEnglish(folder, settings.window.language, texts, error) &&
        !texts.load(folder, "English", error))
        return fail("the language file cannot be loaded: " + error);

    if (polarPath.empty())
        polarPath = folderPath(folder, settings.folders.polars) + settings.polarName;
    Polar polar;
    if (!loadPolar(polarPath, polar, error)) return fail(error);

    if (gribPath.empty())
        gribPath = folderPath(folder, settings.folders.gribs) + settings.winds.grib;
    WindStore store;
    WindCoverage coverage;
    if (!params.uniqueWind) {
        std::string gribError;
        // A large forecast takes a while: its messages are counted on standard error.
        if (progress)
            gribDecoder().setProgress([](std::size_t done, std::size_t total) {
                std::fprintf(stderr, "\rreading the forecast: message %zu of %zu   ", done, total);
            });
        const GribLoadStatus loaded =
            openForecast(gribPath, store, WindColorRamp{}, params.lag, gribError);
        if (progress) {
            gribDecoder().setProgress({});
            std::fprintf(stderr, "\n");
        }
        if (loaded != GribLoadStatus::Ok) return fail(gribPath + ": " + gribError);
        coverage = windCoverage(store);
    }
    StoreWindField wind(store, params);

    if (routePath.empty()) routePath = config.paths.routeFile;
    UserRoute route;
    if (!loadUserRoute(routePath, route.waypoints, error)) return fail(error);
    BarrierList barriers;
    std::string barrierError;
    if (fs::exists(config.paths.barrierFile))
        loadBarriers(config.paths.barrierFile, barriers, barrierError);

    // The route's waypoints are checked against the finest shoreline; the routing uses the
    // level of its settings.
    ShorelineStore finest(config.paths.gshhsFolder);
    finest.openLevel(4);
    const StoreCrossings finestTests(finest.hasFile() ? &finest : nullptr, nullptr);
    recompute(route, params, &finestTests);
    ShorelineStore routingStore(config.paths.gshhsFolder);
    routingStore.openLevel(params.coastsQuality);
    TssStore zones;
    if (params.avoidTss) zones.initZones(config.paths.tssFolder, config.paths.tssFile);
    const StoreCrossings crossings(routingStore.hasFile() ? &routingStore : nullptr, &barriers,
                                   &zones.outlines);
    if (params.avoidCoasts && !routingStore.hasFile())
        std::fprintf(stderr,
                     "navorel-cli: no shoreline file in %s: the routing ignores the coast\n",
                     config.paths.gshhsFolder.c_str());

    // Tidal streams, when the run sails with them and the program folder has tides and
    // current atlases. Without streams nothing of them is read (the counter-current option
    // acts on the stream only).
    TideHarmonics tides;
    CurrentProvider currents;
    const bool haveCurrents =
        params.currents && loadStreams(folder, params.streamProvider, tides, currents);

    RunControl control;
    RunSetup setup;
    setup.params = &params;
    setup.polar = &polar;
    setup.polarsFolder = folderPath(folder, settings.folders.polars);
    setup.wind = &wind;
    setup.coverage = coverage;
    setup.crossings = &crossings;
    setup.current = haveCurrents ? &currents : nullptr;
    setup.control = &control;
    setup.route = &route;
    setup.threads = static_cast<int>(threads);
    // Without --start, the run starts at the forecast's first record, or now.
    if (startText.empty())
        start = store.empty() ? now().dayNumber
                              : store.frameTimes()[static_cast<std::size_t>(store.currentFrame())];
    setup.start = fromDayNumber(start);
    setup.reopenShoreline = [&](int level) {
        if (level != routingStore.level()) routingStore.openLevel(level);
    };
    if (progress) {
        int fronts = 0;
        setup.afterFront = [fronts](const FrontEvent& e) mutable {
            ++fronts;
            float closest = 3.4e38f;
            for (const IsochronePoint& p : *e.front) closest = std::min(closest, p.distToTarget);
            std::fprintf(stderr, "\rleg %d isochrone %d: %.1f nm to go   ", e.leg + 1, fronts,
                         closest / 1852.0);
        };
    }

    RoutingResult result;
    {
        const CancelOnSignal cancelOnSignal(control);
        result = runRouting(setup);
    }
    if (progress) std::fprintf(stderr, "\n");
    if (result.refusal == RunRefusal::Ignored)
        return fail("nothing to route (route, wind or polar missing)");
    if (result.refusal != RunRefusal::None) return fail(refusalMessage(result, texts));

    const ResultsTable table = resultsTable(result, route, texts);
    std::printf("%-28s", "");
    for (std::size_t c = 1; c < table.titles.size(); ++c)
        std::printf("%-28s", table.titles[c].c_str());
    std::printf("\n");
    for (const auto& row : table.rows) {
        for (std::size_t c = 0; c < row.size(); ++c) std::printf("%-28s", row[c].c_str());
        std::printf("\n");
    }
    std::printf("%s: %s\n", texts.text(76).c_str(), table.computationTime.c_str());
    const std::string limit = limitMessage(result);
    if (!limit.empty()) std::fprintf(stderr, "navorel-cli: %s\n", limit.c_str());

    if (!gpxOut.empty()) {
        std::vector<ExportedRoutePoint> points;
        for (const IsochronePoint& p : result.output.route)
            points.push_back({GeoPoint{p.parentLon, p.parentLat}, p.parentTime.dayNumber});
        if (!exportRoutingResult(gpxOut, points, error)) return fail(error);
    }
    if (!jsonOut.empty() && !replaceFileContents(jsonOut, resultJson(result), error))
        return fail(error);
    std::string reason;
    const int code = runOutcome(result, texts, reason);
    if (code != kExitOk) std::fprintf(stderr, "navorel-cli: %s\n", reason.c_str());
    return code;
}

const CommandRegistrar reg("route",
                           "route [--demo | --folder DIR] [--grib F] [--polar F] [--route GPX] "
                           "[--start YYYY-MM-DDTHH:MM] [--set Section.Key=Value]... [--gpx F] "
                           "[--json F] [--threads N] [--progress]",
                           routeCommand);

} // namespace
} // namespace navorel::cli
