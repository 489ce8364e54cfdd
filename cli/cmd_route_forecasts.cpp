// navorel-cli route over a set of forecasts (several --grib, or --members): one run per model
// and member, times every departure of the start-time scan, and the spread of their arrivals.
#include "cli/commands.h"
#include "cli/route_session.h"
#include "core/atomic_file.h"
#include "routing/forecast_series.h"

#include <cstdio>

namespace navorel::cli {

namespace {

std::string utc(double day) {
    const DateTime t = fromDayNumber(day);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return text;
}

std::string distributionJson(const ArrivalDistribution& d) {
    std::string out;
    appendf(out, "{\"runs\":%d,\"arrived\":%d", d.runs, d.arrived);
    if (d.arrived > 0) {
        out += ",\"min\":";
        jsonString(out, utc(d.min));
        out += ",\"p10\":";
        jsonString(out, utc(d.p10));
        out += ",\"median\":";
        jsonString(out, utc(d.median));
        out += ",\"p90\":";
        jsonString(out, utc(d.p90));
        out += ",\"max\":";
        jsonString(out, utc(d.max));
        appendf(out, ",\"nearestMedian\":%d", d.nearestMedian);
    }
    appendf(out, ",\"control\":%d", d.control);
    if (d.controlArrived) {
        out += ",\"controlArrival\":";
        jsonString(out, utc(d.controlArrival));
    }
    out += "}";
    return out;
}

} // namespace

int routeForecasts(RouteSession& session, RunSetup& setup, RunControl& control,
                   const std::string& jsonOut, bool progress) {
    const std::vector<SeriesSource> sources = session.seriesSources();
    const std::vector<DateTime> starts = seriesDepartures(session.params(), setup.start);
    if (progress) {
        const std::size_t total = sources.size() * starts.size();
        setup.afterFront = {};
        setup.runFinished = [total](int run, const RunSummary& s) {
            std::fprintf(stderr, "run %d of %zu (%s) done\n", run + 1, total, s.label.c_str());
        };
    }
    RoutingResult result;
    {
        const CancelOnSignal cancelOnSignal(control);
        result = runForecastSeries(setup, sources, starts);
    }
    if (result.refusal == RunRefusal::Ignored)
        return fail("nothing to route (route, wind or polar missing)");
    const RunOutcome outcome = runOutcome(result, session.texts);
    if (result.refusal == RunRefusal::StartOutsideWind) {
        std::fprintf(stderr, "navorel-cli: %s\n", outcome.text.c_str());
        return kExitNotFinished;
    }
    if (result.refusal != RunRefusal::None) return fail(outcome.text);

    const GeoPoint destination = session.route.waypoints.back();
    int control0 = -1;
    for (std::size_t k = 0; k < sources.size(); ++k)
        if (sources[k].member == 0 && control0 < 0) control0 = int(k);
    const ArrivalDistribution d = arrivalDistribution(result.summaries, destination, control0);

    std::printf("%-20s %-17s %-17s %9s %9s %7s %8s\n", "forecast", "departure", "arrival", "hours",
                "nm", "upwind%", "max kt");
    for (std::size_t k = 0; k < result.summaries.size(); ++k) {
        const RunSummary& s = result.summaries[k];
        const RunMeasures m = measureRun(s, destination);
        std::string mark = int(k) == d.nearestMedian ? " (median)" : "";
        std::printf("%-20s %-17s %-17s %9.2f %9.1f %7.1f %8.1f%s%s\n", s.label.c_str(),
                    s.route.empty() ? "-" : utc(m.departure).c_str(),
                    m.arrived ? utc(m.arrival).c_str() : "not arrived", m.durationHours,
                    m.distanceNm, m.upwindPercent, m.maxWindKnots, mark.c_str(),
                    int(k) == d.control ? " (control)" : "");
    }
    std::printf("%s\n", distributionText(d).c_str());
    std::printf("%s: %s\n", session.texts.text(76).c_str(),
                resultsTable(result, session.route, session.texts).computationTime.c_str());
    const std::string gusts = gustLimitNote(result);
    if (!gusts.empty()) std::fprintf(stderr, "navorel-cli: %s\n", gusts.c_str());

    if (!jsonOut.empty()) {
        std::string out = "{\"runs\":[";
        for (std::size_t k = 0; k < result.summaries.size(); ++k) {
            if (k) out += ',';
            out += runJson(result.summaries[k]);
        }
        out += "],\"distribution\":" + distributionJson(d) + "}\n";
        std::string error;
        if (!replaceFileContents(jsonOut, out, error)) return fail(error);
    }
    if (outcome.end == RunEnd::Arrived) return kExitOk;
    std::fprintf(stderr, "navorel-cli: %s\n", outcome.text.c_str());
    return outcome.end == RunEnd::Cancelled ? kExitCancelled : kExitNotFinished;
}

} // namespace navorel::cli
