#include "routing/departure_planner.h"

#include "core/sun.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace navorel {

namespace {

constexpr double kMetresToNm = 0.0005399568034557236;
constexpr double kDefaultDays = 4;
constexpr int kDefaultStepHours = 3;

std::string utcText(double day) {
    const DateTime t = fromDayNumber(day);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return buf;
}

} // namespace

DepartureSpan defaultDepartureSpan(const WindCoverage& coverage, double from) {
    DepartureSpan span;
    span.first = from;
    span.stepHours = kDefaultStepHours;
    span.last = from + kDefaultDays;
    if (coverage.loaded) span.last = std::min(span.last, coverage.lastTime);
    return span;
}

std::vector<DateTime> departureTimes(const DepartureSpan& span) {
    std::vector<DateTime> times;
    if (span.stepHours < 1 || !(span.last >= span.first)) return times;
    // Compared in whole hours: first + o / 24 may fall a hair past a last time given as a
    // day number of the same hour.
    const double hours = std::floor((span.last - span.first) * 24.0 + 1e-6);
    for (long long o = 0; o <= hours && times.size() < kMaxDepartures; o += span.stepHours)
        times.push_back(fromDayNumber(span.first + static_cast<double>(o) / 24.0));
    return times;
}

RunMeasures measureRun(const RunSummary& run, GeoPoint destination) {
    RunMeasures m;
    m.status = run.status;
    const std::vector<IsochronePoint>& route = run.route;
    // A run that ended with its in-progress flag set reached its end.
    m.arrived = run.inProgress && !route.empty() && run.status != kStatusCancelled;
    if (route.empty()) return m;
    m.departure = route.front().parentTime.dayNumber;
    m.arrival = route.back().time.dayNumber;
    const double duration = routeDurationSeconds(route);
    m.durationHours = duration / 3600.0;
    double upwind = 0;
    for (const IsochronePoint& q : route) {
        m.maxWindKnots = std::max(m.maxWindKnots, q.tws * kMsToKnot);
        // As the results table counts it: engine first, then downwind, then upwind.
        if (!q.engine && !(q.twa > 120) && q.awa < 40) upwind += q.stepSeconds;
    }
    m.upwindPercent = duration > 0 ? upwind * 100.0 / duration : 0;
    m.engineHours = route.back().engineSeconds / 3600.0;
    m.distanceNm = route.back().totalDistance * kMetresToNm;
    m.nightArrival = m.arrived && isNight(destination.lon, destination.lat, m.arrival);
    return m;
}

double measureValue(const RunMeasures& m, PlanMeasure which) {
    switch (which) {
    case PlanMeasure::Duration:
        return m.durationHours;
    case PlanMeasure::MaxWind:
        return m.maxWindKnots;
    case PlanMeasure::UpwindShare:
        return m.upwindPercent;
    case PlanMeasure::EngineHours:
        return m.engineHours;
    }
    return 0;
}

bool Departure::arrives() const {
    if (measures.empty()) return false;
    for (const RunMeasures& m : measures)
        if (!m.arrived) return false;
    return true;
}

void markBest(DeparturePlan& plan) {
    for (int w = 0; w < kPlanMeasureCount; ++w) {
        const PlanMeasure which = static_cast<PlanMeasure>(w);
        int best = -1;
        for (std::size_t k = 0; k < plan.departures.size(); ++k) {
            const Departure& d = plan.departures[k];
            if (!d.arrives()) continue;
            if (best < 0) {
                best = static_cast<int>(k);
                continue;
            }
            const RunMeasures& a = *d.shown();
            const RunMeasures& b = *plan.departures[static_cast<std::size_t>(best)].shown();
            const double va = measureValue(a, which), vb = measureValue(b, which);
            // Earlier departures come first, so a tie in both keeps the earlier one.
            if (va < vb || (va == vb && a.durationHours < b.durationHours))
                best = static_cast<int>(k);
        }
        plan.best[w] = best;
    }
}

DeparturePlan planFromResult(const RoutingResult& result, GeoPoint destination) {
    DeparturePlan plan;
    plan.refusal = result.refusal;
    plan.onLandCount = result.onLandCount;
    plan.gustsIgnored = result.gustsIgnored;
    for (const RunSummary& s : result.summaries) {
        Departure d;
        d.runs.push_back(s);
        d.measures.push_back(measureRun(s, destination));
        if (!s.route.empty()) d.departure = s.route.front().parentTime;
        if (s.status == kStatusCancelled) plan.cancelled = true;
        plan.departures.push_back(std::move(d));
    }
    markBest(plan);
    return plan;
}

DeparturePlan planDepartures(const RunSetup& setup, const std::vector<DateTime>& starts) {
    const RoutingResult result = runDepartureSeries(setup, starts);
    GeoPoint destination{};
    if (setup.route && !setup.route->waypoints.empty()) destination = setup.route->waypoints.back();
    DeparturePlan plan = planFromResult(result, destination);
    // A run that made no step has no route to read its departure from.
    for (std::size_t k = 0; k < plan.departures.size() && k < starts.size(); ++k)
        plan.departures[k].departure = starts[k];
    if (plan.departures.size() < starts.size() && result.refusal == RunRefusal::None)
        plan.cancelled = true;
    return plan;
}

std::string planCsv(const DeparturePlan& plan) {
    std::string out = "departure,arrival,duration_h,arrived,max_wind_kt,upwind_pct,"
                      "engine_h,night_arrival,distance_nm\n";
    for (const Departure& d : plan.departures) {
        const RunMeasures* m = d.shown();
        char buf[256];
        if (!m) continue;
        std::snprintf(buf, sizeof buf, "%s,%s,%.2f,%s,%.1f,%.0f,%.1f,%s,%.1f\n",
                      utcText(d.departure.dayNumber).c_str(),
                      m->arrival > 0 ? utcText(m->arrival).c_str() : "", m->durationHours,
                      m->arrived ? "yes" : "no", m->maxWindKnots, m->upwindPercent, m->engineHours,
                      m->nightArrival ? "yes" : "no", m->distanceNm);
        out += buf;
    }
    return out;
}

} // namespace navorel
