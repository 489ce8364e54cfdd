// The results of a routing as the user reads them: the message of a refused run, the one line
// that tells how a routing ended, the results table and the route to export.
#include "routing/routing_run.h"

#include "core/position_text.h"
#include "core/texts.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace navorel {

namespace {

constexpr double kMetresToNm = 0.0005399568034557236;

std::string format(const char* f, double a) {
    char buf[128];
    std::snprintf(buf, sizeof buf, f, a);
    return buf;
}

long long roundHalfUp(double x) {
    return static_cast<long long>(std::floor(x + 0.5));
}

std::string percent(double value, double duration) {
    const long long pc = duration > 0 ? roundHalfUp(value * 100.0 / duration) : 0;
    char buf[32];
    std::snprintf(buf, sizeof buf, "%lld %%", pc);
    return buf;
}

std::string durationText(double seconds) {
    const long long total = seconds > 0 ? static_cast<long long>(std::llround(seconds)) : 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%lldd %02lldh %02lldmn %02llds", total / 86400,
                  (total / 3600) % 24, (total / 60) % 60, total % 60);
    return buf;
}

} // namespace

std::string refusalMessage(const RoutingResult& result, const TextProvider& texts) {
    switch (result.refusal) {
    case RunRefusal::WaypointsOnLand:
        return std::to_string(result.onLandCount) + " " +
               texts.text(result.onLandCount == 1 ? 82 : 83);
    case RunRefusal::StartOutsideWind: {
        const WindCoverage& c = result.coverage;
        const double t = result.start.dayNumber;
        if (!c.loaded || (t >= c.firstTime && t <= c.lastTime)) return texts.text(84);
        // "The start time is outside the forecast: 20/05 00:00 (01/06 00:00 - 06/06 00:00)"
        return texts.text(441) + " " + formatDate(result.start, 6) + " (" +
               formatDate(fromDayNumber(c.firstTime), 6) + " - " +
               formatDate(fromDayNumber(c.lastTime), 6) + ")";
    }
    default:
        return {};
    }
}

namespace {

std::string limitText(RunLimit limit, const RunLimits& bounds, const TextProvider& texts) {
    switch (limit) {
    case RunLimit::StoredPoints:
        return texts.text(436) + " " + std::to_string(bounds.storedPoints) + " " + texts.text(437);
    case RunLimit::FrontsPerLeg:
        return texts.text(436) + " " + std::to_string(bounds.frontsPerLeg) + " " + texts.text(438);
    case RunLimit::None:
        break;
    }
    return {};
}

// Why run `s` stopped short, after its place ("- the forecast ends 06/06 00:00").
std::string stopCause(const RoutingResult& result, const RunSummary& s, const TextProvider& texts) {
    if (s.limit != RunLimit::None) return limitText(s.limit, result.limits, texts);
    const WindCoverage& c = result.coverage;
    const double end = s.route.empty() ? result.start.dayNumber : s.route.back().time.dayNumber;
    if (c.loaded && end + s.stepSeconds * kSecondInDays > c.lastTime)
        return texts.text(432) + " " + formatDate(fromDayNumber(c.lastTime), 6);
    if (result.startOutsideWind && s.route.empty()) return texts.text(433);
    if (s.landAhead) return texts.text(434);
    return texts.text(435);
}

} // namespace

std::string limitMessage(const RoutingResult& result, const TextProvider& texts) {
    for (const RunSummary& s : result.summaries)
        if (s.limit != RunLimit::None) return limitText(s.limit, result.limits, texts);
    return {};
}

RunOutcome runOutcome(const RoutingResult& result, const TextProvider& texts) {
    RunOutcome o;
    if (result.refusal != RunRefusal::None) {
        o.end = RunEnd::Refused;
        o.text = refusalMessage(result, texts);
        return o;
    }
    const std::size_t n = result.summaries.size();
    if (n == 0) {
        o.text = texts.text(79) + ": " + texts.text(439);
        return o;
    }
    for (std::size_t k = 0; k < n; ++k) {
        const RunSummary& s = result.summaries[k];
        if (s.status == kStatusCancelled) {
            o.end = RunEnd::Cancelled;
            o.text = texts.text(377);
            return o;
        }
        if (s.inProgress && !s.route.empty()) continue;
        o.end = RunEnd::NotFinished;
        o.text = texts.text(79);
        if (n > 1)
            o.text += " (" + texts.text(440) + " " + std::to_string(k + 1) + "/" +
                      std::to_string(n) + ")";
        o.text += ": ";
        if (s.route.empty()) {
            o.text += texts.text(429);
        } else {
            o.text += texts.text(430) + " " +
                      format("%.1f", s.route.back().distToTarget * kMetresToNm) + " " +
                      texts.text(431);
            if (s.targetWaypoint > 0) o.text += " " + std::to_string(s.targetWaypoint + 1);
        }
        o.text += " - " + stopCause(result, s, texts);
        return o;
    }
    o.end = RunEnd::Arrived;
    o.text = texts.text(376);
    return o;
}

std::string runTitle(const RoutingResult& result, int run, const TextProvider& texts) {
    if (run < 0 || run >= static_cast<int>(result.summaries.size())) return {};
    if (result.severalPolars) return result.summaries[static_cast<std::size_t>(run)].polarName;
    // A run of a series over several forecasts is named by its forecast ("member 12").
    const std::string& label = result.summaries[static_cast<std::size_t>(run)].label;
    if (!label.empty()) return label;
    return texts.text(77) + " " + std::to_string(run + 1);
}

SeaStepsTable seaStepsTable(const RunSummary& run, const TextProvider& texts) {
    SeaStepsTable t;
    const bool waves = !run.waveHeights.empty();
    t.titles = {texts.text(kTextStepStart), texts.text(kTextStepPosition),
                texts.text(kTextStepCurrent)};
    if (waves) t.titles.push_back(texts.text(kTextStepWaves));
    for (std::size_t i = 0; i < run.route.size(); ++i) {
        const IsochronePoint& p = run.route[i];
        std::vector<std::string> row = {formatDate(p.parentTime, 2, texts),
                                        formatPosition(p.parentLat, p.parentLon), "-"};
        if (p.currentSpeed > 0) {
            char text[48];
            std::snprintf(text, sizeof text, "%.0f\xC2\xB0 %.1f kt", p.currentDir,
                          p.currentSpeed * kMsToKnot);
            row[2] = text;
        }
        if (waves) {
            const float h = i < run.waveHeights.size() ? run.waveHeights[i] : std::nanf("");
            row.push_back(std::isnan(h) ? "-" : format("%.1f m", h));
        }
        t.rows.push_back(std::move(row));
    }
    return t;
}

bool waveHeightTotals(const RunSummary& run, double& mean, double& largest) {
    double weighted = 0, seconds = 0;
    largest = 0;
    bool met = false;
    const std::size_t n = std::min(run.waveHeights.size(), run.route.size());
    for (std::size_t i = 0; i < n; ++i) {
        const float h = run.waveHeights[i];
        if (std::isnan(h)) continue;
        met = true;
        weighted += h * run.route[i].stepSeconds;
        seconds += run.route[i].stepSeconds;
        largest = std::max(largest, static_cast<double>(h));
    }
    mean = seconds > 0 ? weighted / seconds : largest;
    return met;
}

std::vector<ExportedRoutePoint> exportedRoute(const std::vector<IsochronePoint>& route) {
    std::vector<ExportedRoutePoint> points;
    if (route.empty()) return points;
    points.reserve(route.size() + 1);
    for (const IsochronePoint& p : route)
        points.push_back({GeoPoint{p.parentLon, p.parentLat}, p.parentTime.dayNumber});
    const IsochronePoint& last = route.back();
    points.push_back({GeoPoint{last.lon, last.lat}, last.time.dayNumber});
    return points;
}

ResultsTable resultsTable(const RoutingResult& result, const UserRoute& userRoute,
                          const TextProvider& texts) {
    ResultsTable table;
    const int b = result.severalPolars ? 9 : 8;
    // With a wave forecast, a separator and the mean and largest wave height follow.
    bool waves = false;
    for (const RunSummary& s : result.summaries) waves = waves || !s.waveHeights.empty();
    const int waveRow = b + 31;
    const int rowCount = waves ? waveRow + 2 : b + 30;
    table.rows.assign(rowCount, std::vector<std::string>(1 + result.summaries.size()));
    auto label = [&](int row, int text) { table.rows[row][0] = texts.text(text); };
    label(0, 46);
    label(1, 47);
    label(2, 48);
    label(3, 49);
    label(5, 50);
    label(6, 51);
    label(7, 52);
    if (result.severalPolars) label(8, 53);
    const int labels[][2] = {{1, 54},  {2, 55},  {4, 56},  {5, 57},  {7, 58},  {8, 59},
                             {9, 60},  {11, 61}, {12, 62}, {14, 63}, {15, 64}, {16, 65},
                             {17, 66}, {19, 67}, {20, 68}, {21, 69}, {23, 70}, {24, 71},
                             {25, 72}, {27, 73}, {28, 74}, {29, 75}};
    for (const auto& l : labels) label(b + l[0], l[1]);
    if (waves) {
        label(waveRow, kTextWaveHeightMean);
        label(waveRow + 1, kTextWaveHeightMax);
    }

    table.titles.push_back({});
    const std::string hours = texts.text(78);
    // Yes and No of the language (texts 509, 510), in English where the file has none.
    const auto yesNo = [&texts](bool yes) {
        const std::string text = texts.text(yes ? 509 : 510);
        return text.empty() ? std::string(yes ? "Yes" : "No") : text;
    };
    for (std::size_t k = 0; k < result.summaries.size(); ++k) {
        const RunSummary& s = result.summaries[k];
        table.titles.push_back(runTitle(result, static_cast<int>(k), texts));

        auto set = [&](int row, std::string v) { table.rows[row][1 + k] = std::move(v); };
        char buf[160];
        std::snprintf(buf, sizeof buf, "%d %%", s.power);
        set(0, buf);
        std::snprintf(buf, sizeof buf, "%d %%", s.variation);
        set(1, buf);
        std::snprintf(buf, sizeof buf, "%d %s", s.startOffset, hours.c_str());
        set(2, buf);
        set(3, texts.text(s.status == kStatusCancelled ? 377 : s.inProgress ? 80 : 79));
        const std::vector<IsochronePoint>& route = s.route;
        if (route.empty()) continue;
        const IsochronePoint& last = route.back();
        const double duration = routeDurationSeconds(route);
        set(5, formatDate(route.front().parentTime, 2, texts));
        set(6, formatDate(last.time, 2, texts));
        set(7, durationText(duration));
        if (result.severalPolars) set(8, durationText(s.rating * duration));

        const double direct = userRoute.totalLength * kMetresToNm;
        const double routed = last.totalDistance * kMetresToNm;
        set(b + 1, format("%.2f M", direct));
        std::snprintf(buf, sizeof buf, "%.2f M (+ %lld %%)", routed,
                      direct > 0 ? roundHalfUp(routed / direct * 100.0) - 100 : 0);
        set(b + 2, buf);
        set(b + 4, format("%.2f kt", duration > 0 ? routed / (duration / 3600.0) : 0.0));
        std::snprintf(buf, sizeof buf, "[%.2f kt - %.2f kt]", s.minSog * kMsToKnot,
                      s.maxSog * kMsToKnot);
        set(b + 5, buf);
        set(b + 7, yesNo(last.fuel != 0));
        std::snprintf(buf, sizeof buf, "%d %s", static_cast<int>(last.engineSeconds / 3600.0),
                      hours.c_str());
        set(b + 8, buf);
        std::snprintf(buf, sizeof buf, "%lld L", static_cast<long long>(std::llround(last.fuel)));
        set(b + 9, buf);

        double windTime = 0, engine = 0, upwind = 0, reaching = 0, downwind = 0, side = 0;
        double favourable = 0, adverse = 0, none = 0;
        int tacks = 0;
        for (std::size_t i = 0; i < route.size(); ++i) {
            const IsochronePoint& q = route[i];
            windTime += q.tws * q.stepSeconds;
            if (q.engine)
                engine += q.stepSeconds;
            else if (q.twa > 120)
                downwind += q.stepSeconds;
            else if (q.awa < 40)
                upwind += q.stepSeconds;
            else
                reaching += q.stepSeconds;
            if (q.awaSide == 1) side += q.stepSeconds;
            if (i > 0 && q.awaSide != route[i - 1].awaSide) ++tacks;
            if (q.currentDot > 0)
                favourable += q.stepSeconds;
            else if (q.currentDot < 0)
                adverse += q.stepSeconds;
            else
                none += q.stepSeconds;
        }
        set(b + 11, format("%.1f kt", duration > 0 ? windTime / duration * kMsToKnot : 0.0));
        std::snprintf(buf, sizeof buf, "[%.2f kt - %.2f kt]", s.minTws * kMsToKnot,
                      s.maxTws * kMsToKnot);
        set(b + 12, buf);
        set(b + 14, percent(engine, duration));
        set(b + 15, percent(upwind, duration));
        set(b + 16, percent(reaching, duration));
        set(b + 17, percent(downwind, duration));
        const long long sidePc = duration > 0 ? roundHalfUp(side * 100.0 / duration) : 0;
        std::snprintf(buf, sizeof buf, "%lld %%", sidePc);
        set(b + 19, buf);
        std::snprintf(buf, sizeof buf, "%lld %%", 100 - sidePc);
        set(b + 20, buf);
        set(b + 21, std::to_string(tacks));
        set(b + 23, percent(favourable, duration));
        set(b + 24, percent(adverse, duration));
        set(b + 25, percent(none, duration));
        const bool isochrones = result.method != 0;
        set(b + 27, isochrones ? std::to_string(route.size()) : "-");
        set(b + 28, std::to_string(s.advanceCalls));
        set(b + 29, std::to_string(isochrones ? s.storeSize : static_cast<int>(route.size())));
        double meanWave = 0, maxWave = 0;
        if (waves && waveHeightTotals(s, meanWave, maxWave)) {
            set(waveRow, format("%.1f m", meanWave));
            set(waveRow + 1, format("%.1f m", maxWave));
        }
    }
    const long long secs = static_cast<long long>(result.computeSeconds);
    char buf[64];
    if (secs >= 60)
        std::snprintf(buf, sizeof buf, "%lld min %lld sec", secs / 60, secs % 60);
    else
        std::snprintf(buf, sizeof buf, "%lld sec", secs);
    table.computationTime = buf;
    return table;
}

} // namespace navorel
