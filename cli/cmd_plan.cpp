// navorel-cli plan: the departure planner. The route of the program folder is routed for
// every departure of a span (by default every 3 hours over the forecast's first 4 days), the
// runs side by side on the machine's cores, and each departure is printed with its arrival,
// duration, strongest wind, share upwind, hours under engine and whether it arrives by night.
#include "cli/commands.h"
#include "cli/route_session.h"
#include "core/atomic_file.h"
#include "routing/departure_planner.h"

#include <cmath>
#include <cstdio>
#include <mutex>

namespace navorel::cli {

namespace {

const char* const kMeasureNames[kPlanMeasureCount] = {"fastest", "least wind", "least upwind",
                                                      "least engine"};
const char* const kMeasureKeys[kPlanMeasureCount] = {"duration", "maxWind", "upwindShare",
                                                     "engineHours"};

std::string hoursText(double hours) {
    const long long minutes = std::llround(hours * 60.0);
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lldh%02lld", minutes / 60, minutes % 60);
    return buf;
}

std::string timeText(double day) {
    std::string t = formatUtcTime(day);
    if (t.size() > 10) t[10] = ' ';
    return t;
}

void printPlan(const DeparturePlan& plan) {
    std::printf("%-17s  %-17s  %-9s  %-8s  %-6s  %-7s  %-5s\n", "departure", "arrival", "duration",
                "max wind", "upwind", "engine", "night");
    for (std::size_t k = 0; k < plan.departures.size(); ++k) {
        const Departure& d = plan.departures[k];
        const RunMeasures* m = d.shown();
        std::string marks;
        for (int w = 0; w < kPlanMeasureCount; ++w)
            if (plan.best[w] == static_cast<int>(k))
                marks += std::string(marks.empty() ? "  * " : ", ") + kMeasureNames[w];
        if (!m || !d.arrives()) {
            std::string why = "does not arrive";
            if (m && m->status == kStatusCancelled)
                why = "cancelled";
            else if (m && !d.runs.empty() && !d.runs.front().route.empty())
                appendf(why, " (stopped %.1f nm short at %s)",
                        d.runs.front().route.back().distToTarget / 1852.0,
                        timeText(m->arrival).c_str());
            std::printf("%-17s  %s\n", timeText(d.departure.dayNumber).c_str(), why.c_str());
            continue;
        }
        char wind[16], upwind[16], engine[16];
        std::snprintf(wind, sizeof wind, "%.1f kt", m->maxWindKnots);
        std::snprintf(upwind, sizeof upwind, "%.0f %%", m->upwindPercent);
        std::snprintf(engine, sizeof engine, "%.1f h", m->engineHours);
        std::printf("%-17s  %-17s  %-9s  %-8s  %-6s  %-7s  %-5s%s\n",
                    timeText(d.departure.dayNumber).c_str(), timeText(m->arrival).c_str(),
                    hoursText(m->durationHours).c_str(), wind, upwind, engine,
                    m->nightArrival ? "yes" : "no", marks.c_str());
    }
    const int fastest = plan.best[static_cast<int>(PlanMeasure::Duration)];
    if (fastest >= 0) {
        const Departure& d = plan.departures[static_cast<std::size_t>(fastest)];
        std::printf("fastest: leave %s, arrive %s after %s\n",
                    timeText(d.departure.dayNumber).c_str(), timeText(d.shown()->arrival).c_str(),
                    hoursText(d.shown()->durationHours).c_str());
    } else {
        std::printf("no departure arrives\n");
    }
}

std::string planJson(const DeparturePlan& plan) {
    std::string out = "{\"departures\":[";
    for (std::size_t k = 0; k < plan.departures.size(); ++k) {
        const Departure& d = plan.departures[k];
        if (k) out += ',';
        appendf(out, "{\"departure\":\"%s\",\"departureDay\":%.17g,\"arrives\":%s,\"runs\":[",
                formatUtcTime(d.departure.dayNumber).c_str(), d.departure.dayNumber,
                d.arrives() ? "true" : "false");
        for (std::size_t r = 0; r < d.runs.size(); ++r) {
            const RunMeasures& m = d.measures[r];
            if (r) out += ',';
            appendf(out,
                    "{\"arrived\":%s,\"arrival\":\"%s\",\"arrivalDay\":%.17g,"
                    "\"durationHours\":%.6f,\"maxWindKnots\":%.3f,\"upwindPercent\":%.3f,"
                    "\"engineHours\":%.4f,\"distanceNm\":%.3f,\"nightArrival\":%s,\"status\":%d,"
                    "\"run\":",
                    m.arrived ? "true" : "false",
                    m.arrival > 0 ? formatUtcTime(m.arrival).c_str() : "", m.arrival,
                    m.durationHours, m.maxWindKnots, m.upwindPercent, m.engineHours, m.distanceNm,
                    m.nightArrival ? "true" : "false", m.status);
            out += runJson(d.runs[r]);
            out += '}';
        }
        out += "]}";
    }
    out += "],\"best\":{";
    for (int w = 0; w < kPlanMeasureCount; ++w)
        appendf(out, "%s\"%s\":%d", w ? "," : "", kMeasureKeys[w], plan.best[w]);
    appendf(out, "},\"gustsIgnored\":%s,\"cancelled\":%s}\n", plan.gustsIgnored ? "true" : "false",
            plan.cancelled ? "true" : "false");
    return out;
}

// "--json" alone (JSON on standard output) or "--json FILE".
bool takeJson(Args& args, std::string& file) {
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] != "--json") continue;
        const bool withFile = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
        file = withFile ? args[i + 1] : "-";
        args.erase(args.begin() + static_cast<long>(i),
                   args.begin() + static_cast<long>(i) + (withFile ? 2 : 1));
        return true;
    }
    return false;
}

int planCommand(const Args& given) {
    Args args = given;
    std::string jsonOut;
    const bool json = takeJson(args, jsonOut);
    RouteOptions options = takeRouteOptions(args);
    if (options.forecastSet) return fail("plan reads one forecast: give one --grib");
    std::string fromText, toText, stepText, threadsText, csvOut;
    takeOption(args, "--from", fromText);
    takeOption(args, "--to", toText);
    takeOption(args, "--step", stepText);
    takeOption(args, "--threads", threadsText);
    takeOption(args, "--csv", csvOut);
    if (!args.empty()) return fail("unexpected argument '" + args[0] + "'");

    std::string error;
    double from = 0, to = 0, step = 3;
    if (!fromText.empty() && !parseUtcTime(fromText, from, error)) return fail("--from: " + error);
    if (!toText.empty() && !parseUtcTime(toText, to, error)) return fail("--to: " + error);
    if (!stepText.empty() &&
        (!parseNumber(stepText, step) || step < 1 || step > 168 || step != static_cast<int>(step)))
        return fail("--step takes a whole number of hours from 1 to 168, not '" + stepText + "'");
    int threads = 0;
    if (!parseThreads(threadsText, threads, error)) return fail(error);
    RouteSession session;
    if (!session.load(options, error)) return fail(error);

    DepartureSpan span =
        defaultDepartureSpan(session.coverage, fromText.empty() ? session.defaultStart() : from);
    if (!toText.empty()) span.last = to;
    span.stepHours = static_cast<int>(step);
    const std::vector<DateTime> starts = departureTimes(span);
    if (starts.empty()) return fail("no departure: --to lies before the first departure");

    RunControl control;
    RunSetup setup = session.setup(control, threads, starts.front().dayNumber);
    std::mutex progressMutex;
    int done = 0;
    if (options.progress)
        setup.runFinished = [&](int, const RunSummary&) {
            std::lock_guard<std::mutex> lock(progressMutex);
            std::fprintf(stderr, "\rdeparture %d of %zu routed   ", ++done, starts.size());
        };
    DeparturePlan plan;
    {
        const CancelOnSignal cancelOnSignal(control);
        plan = planDepartures(setup, starts);
    }
    if (options.progress) std::fprintf(stderr, "\n");
    if (plan.refusal == RunRefusal::Ignored)
        return fail("nothing to route (route, wind or polar missing)");
    if (plan.refusal != RunRefusal::None) {
        RoutingResult refused;
        refused.refusal = plan.refusal;
        refused.onLandCount = plan.onLandCount;
        return fail(refusalMessage(refused, session.texts));
    }
    if (plan.gustsIgnored)
        std::fprintf(stderr,
                     "navorel-cli: the forecast carries no gust: the gust limit was not applied\n");

    if (json && jsonOut == "-")
        std::fputs(planJson(plan).c_str(), stdout);
    else
        printPlan(plan);
    if (json && jsonOut != "-" && !replaceFileContents(jsonOut, planJson(plan), error))
        return fail(error);
    if (!csvOut.empty() && !replaceFileContents(csvOut, planCsv(plan), error)) return fail(error);
    if (plan.cancelled) {
        std::fprintf(stderr, "navorel-cli: the planning was cancelled\n");
        return kExitCancelled;
    }
    return kExitOk;
}

const CommandRegistrar reg(
    "plan",
    "plan [--demo | --folder DIR] [--grib F] [--polar F] [--route GPX] [--currents F] [--waves F] "
    "[--from YYYY-MM-DDTHH:MM] [--to YYYY-MM-DDTHH:MM] [--step HOURS] "
    "[--set Section.Key=Value]... [--json [F]] [--csv F] [--threads N] "
    "[--progress]",
    planCommand);

} // namespace
} // namespace navorel::cli
