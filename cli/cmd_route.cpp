// navorel-cli route: a routing run from a program folder or explicit files, printing the
// results table and writing the GPX export and a JSON dump of every route point.
#include "cli/commands.h"
#include "cli/route_session.h"
#include "core/atomic_file.h"
#include "core/datetime.h"
#include "geo/gpx.h"

#include <algorithm>
#include <cstdio>

namespace navorel::cli {

namespace {

std::string resultJson(const RoutingResult& result) {
    std::string out = "{\"runs\":[";
    for (std::size_t k = 0; k < result.summaries.size(); ++k) {
        if (k) out += ',';
        out += runJson(result.summaries[k]);
    }
    out += "]}\n";
    return out;
}

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
    RouteOptions options = takeRouteOptions(args);
    std::string startText, gpxOut, jsonOut, threadsText;
    takeOption(args, "--start", startText);
    takeOption(args, "--gpx", gpxOut);
    takeOption(args, "--json", jsonOut);
    takeOption(args, "--threads", threadsText);
    if (!args.empty()) return fail("unexpected argument '" + args[0] + "'");

    std::string error;
    // A bad time is refused before any file is read.
    double start = 0;
    if (!startText.empty() && !parseUtcTime(startText, start, error))
        return fail("--start: " + error);
    int threads = 0;
    if (!parseThreads(threadsText, threads, error)) return fail(error);
    RouteSession session;
    if (!session.load(options, error)) return fail(error);
    const LanguageTable& texts = session.texts;
    const UserRoute& route = session.route;

    RunControl control;
    // Without --start, the run starts at the forecast's first record, or now.
    if (startText.empty()) start = session.defaultStart();
    RunSetup setup = session.setup(control, threads, start);
    const bool progress = options.progress;
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
    const std::string gusts = gustLimitNote(result);
    if (!gusts.empty()) std::fprintf(stderr, "navorel-cli: %s\n", gusts.c_str());

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
