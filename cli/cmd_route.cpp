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

int routeCommand(const Args& given) {
    Args args = given;
    RouteOptions options = takeRouteOptions(args);
    std::string startText, gpxOut, jsonOut, threadsText;
    takeOption(args, "--start", startText);
    takeOption(args, "--gpx", gpxOut);
    takeOption(args, "--json", jsonOut);
    takeOption(args, "--threads", threadsText);
    std::string membersText;
    if (takeOption(args, "--members", membersText)) {
        std::string membersError;
        if (!parseMemberSelection(membersText, options.members, membersError))
            return fail(membersError);
        options.forecastSet = true;
    }
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

    // With the forecasts not scanned, a set routes its first forecast as a single one would.
    if (session.scansForecasts()) return routeForecasts(session, setup, control, jsonOut, progress);

    RoutingResult result;
    {
        const CancelOnSignal cancelOnSignal(control);
        result = runRouting(setup);
    }
    if (progress) std::fprintf(stderr, "\n");
    if (result.refusal == RunRefusal::Ignored)
        return fail("nothing to route (route, wind or polar missing)");
    const RunOutcome outcome = runOutcome(result, texts);
    // A start outside the forecast is a run that cannot reach its destination.
    if (result.refusal == RunRefusal::StartOutsideWind) {
        std::fprintf(stderr, "navorel-cli: %s\n", outcome.text.c_str());
        return kExitNotFinished;
    }
    if (result.refusal != RunRefusal::None) return fail(outcome.text);

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
    const std::string gusts = gustLimitNote(result);
    if (!gusts.empty()) std::fprintf(stderr, "navorel-cli: %s\n", gusts.c_str());

    if (!gpxOut.empty()) {
        // The final run; after a scan it is named as its column.
        const std::string name =
            result.scanRoutes.empty()
                ? std::string()
                : runTitle(result, static_cast<int>(result.summaries.size()) - 1, texts);
        if (!exportRoutingResult(gpxOut, exportedRoute(result.output.route), error, name))
            return fail(error);
    }
    if (!jsonOut.empty() && !replaceFileContents(jsonOut, resultJson(result), error))
        return fail(error);
    // Every run must arrive; the first that did not says where and why it stopped.
    if (outcome.end == RunEnd::Arrived) return kExitOk;
    std::fprintf(stderr, "navorel-cli: %s\n", outcome.text.c_str());
    return outcome.end == RunEnd::Cancelled ? kExitCancelled : kExitNotFinished;
}

const CommandRegistrar reg("route",
                           "route [--demo | --folder DIR] [--grib F] [--polar F] [--route GPX] "
                           "[--currents F] [--waves F] [--start YYYY-MM-DDTHH:MM] "
                           "[--set Section.Key=Value]... [--gpx F] [--json F] [--threads N] "
                           "[--progress] [--members all|N-M,...]",
                           routeCommand);

} // namespace
} // namespace navorel::cli
