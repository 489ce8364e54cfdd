#include "routing/forecast_series.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <set>

namespace navorel {

namespace {

std::string utcText(double day) {
    const DateTime t = fromDayNumber(day);
    char buf[48];
    std::snprintf(buf, sizeof buf, "%04d-%02d-%02d %02d:%02d", t.year, t.month, t.day, t.hour,
                  t.minute);
    return buf;
}

// The value at fraction q of the sorted values, interpolated between its neighbours.
double percentile(const std::vector<double>& sorted, double q) {
    const double at = q * double(sorted.size() - 1);
    const std::size_t below = std::size_t(std::floor(at));
    const std::size_t above = std::min(below + 1, sorted.size() - 1);
    return sorted[below] + (sorted[above] - sorted[below]) * (at - double(below));
}

} // namespace

GribBox routingBox(const UserRoute& route, const RoutingParameters& params) {
    if (!params.ellipse || route.waypoints.size() < 2) return {};
    std::vector<GeoPoint> points = route.waypoints;
    for (std::size_t leg = 0; leg + 1 < route.waypoints.size(); ++leg) {
        const std::vector<GeoPoint>& outline = ellipseOutline(route, leg);
        points.insert(points.end(), outline.begin(), outline.end());
    }
    return gribBoxAround(points, 1.0);
}

std::vector<DateTime> seriesDepartures(const RoutingParameters& p, const DateTime& start) {
    if (!p.scanStart) return {start};
    std::set<long long> offsets = {0};
    const long long step = p.stepStart > 0 ? p.stepStart : (long long)p.maxStart - p.minStart + 1;
    for (long long o = p.minStart; o <= p.maxStart; o += step) offsets.insert(o);
    std::vector<DateTime> starts;
    // As the start-time scan shifts its start: start + hours / 24.
    for (long long o : offsets) starts.push_back(fromDayNumber(start.dayNumber + double(o) / 24.0));
    return starts;
}

std::vector<SeriesRun> forecastSeriesRuns(const std::vector<SeriesSource>& sources,
                                          const std::vector<DateTime>& starts) {
    std::vector<SeriesRun> runs;
    if (starts.empty()) return runs;
    for (std::size_t k = 0; k < sources.size(); ++k) {
        for (const DateTime& start : starts) {
            SeriesRun r;
            r.start = start;
            r.startOffset = int(std::llround((start.dayNumber - starts.front().dayNumber) * 24.0));
            r.wind = sources[k].wind;
            r.source = int(k);
            r.label = sources[k].label;
            runs.push_back(std::move(r));
        }
    }
    return runs;
}

RoutingResult runForecastSeries(const RunSetup& setup, const std::vector<SeriesSource>& sources,
                                const std::vector<DateTime>& starts) {
    const std::vector<SeriesRun> runs = forecastSeriesRuns(sources, starts);
    if (runs.empty()) {
        RoutingResult ignored;
        ignored.refusal = RunRefusal::Ignored;
        return ignored;
    }
    RunSetup first = setup;
    first.wind = sources.front().wind;
    first.coverage = sources.front().coverage;
    return runSeries(first, runs);
}

ArrivalDistribution arrivalDistribution(const std::vector<RunSummary>& runs, GeoPoint destination,
                                        int controlSource) {
    ArrivalDistribution d;
    d.runs = int(runs.size());
    std::vector<double> arrivals;
    std::vector<double> byRun(runs.size(), 0);
    std::vector<bool> arrived(runs.size(), false);
    for (std::size_t k = 0; k < runs.size(); ++k) {
        const RunMeasures m = measureRun(runs[k], destination);
        if (d.control < 0 && controlSource >= 0 && runs[k].source == controlSource) {
            d.control = int(k);
            d.controlArrived = m.arrived;
            d.controlArrival = m.arrived ? m.arrival : 0;
        }
        if (!m.arrived) continue;
        arrived[k] = true;
        byRun[k] = m.arrival;
        arrivals.push_back(m.arrival);
    }
    d.arrived = int(arrivals.size());
    if (arrivals.empty()) return d;
    std::sort(arrivals.begin(), arrivals.end());
    d.min = arrivals.front();
    d.max = arrivals.back();
    d.p10 = percentile(arrivals, 0.1);
    d.median = percentile(arrivals, 0.5);
    d.p90 = percentile(arrivals, 0.9);
    double best = 0;
    for (std::size_t k = 0; k < runs.size(); ++k) {
        if (!arrived[k]) continue;
        const double gap = std::fabs(byRun[k] - d.median);
        // Within a millisecond counts as a tie: day numbers round differently either side.
        if (d.nearestMedian < 0 || gap < best - 1e-8) {
            d.nearestMedian = int(k);
            best = gap;
        }
    }
    return d;
}

std::string forecastRunsCsv(const std::vector<RunSummary>& runs, GeoPoint destination) {
    std::string out = "forecast,departure,arrival,duration_h,arrived,distance_nm,upwind_percent,"
                      "max_wind_kt\n";
    for (const RunSummary& run : runs) {
        const RunMeasures m = measureRun(run, destination);
        std::string label = run.label;
        // A label is plain text: a quote or a comma keeps the field whole.
        if (label.find_first_of(",\"\n") != std::string::npos) {
            std::string quoted = "\"";
            for (char c : label) quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
            label = quoted + "\"";
        }
        char line[256];
        std::snprintf(line, sizeof line, ",%s,%s,%.2f,%s,%.1f,%.1f,%.1f\n",
                      run.route.empty() ? "" : utcText(m.departure).c_str(),
                      run.route.empty() ? "" : utcText(m.arrival).c_str(), m.durationHours,
                      m.arrived ? "yes" : "no", m.distanceNm, m.upwindPercent, m.maxWindKnots);
        out += label + line;
    }
    return out;
}

std::string distributionText(const ArrivalDistribution& d) {
    std::string out = "arrivals of " + std::to_string(d.runs) + " runs (" +
                      std::to_string(d.arrived) + " arrived)";
    if (d.arrived == 0) return out;
    out += ": min " + utcText(d.min) + ", 10% " + utcText(d.p10) + ", median " + utcText(d.median) +
           ", 90% " + utcText(d.p90) + ", max " + utcText(d.max);
    if (d.control >= 0)
        out += "; control " + (d.controlArrived ? utcText(d.controlArrival) : "did not arrive");
    return out;
}

} // namespace navorel
