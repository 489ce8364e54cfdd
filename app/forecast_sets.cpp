#include "app/forecast_sets.h"

#include "app/dialogs/forecast_texts.h"
#include "routing/departure_planner.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace navorel::app {

bool openForecastSet(AppData& data, const std::vector<std::string>& paths, std::string& error) {
    RoutingParameters& params = data.config.settings.routing;
    ForecastSetOptions options;
    // Memory follows the area the routing searches, not the file's grid.
    if (data.route.waypoints.size() >= 2) options.box = routingBox(data.route, params);
    options.lagHours = params.lag;
    ForecastSet set;
    if (!set.load(paths, options, data.windColors, error)) return false;
    const ForecastSource& first = set.sources().front();
    data.wind = *first.store;
    data.wind.rebuildInformationText(first.label, data.texts);
    params.uniqueWind = false;
    data.forecastWinds.clear();
    data.forecasts = std::move(set);
    for (const ForecastSource& source : data.forecasts.sources())
        data.forecastWinds.push_back(std::make_unique<StoreWindField>(*source.store, params));
    data.coverage = windCoverage(data.wind);
    return true;
}

void dropForecastSet(AppData& data) {
    data.forecastWinds.clear();
    data.forecasts = ForecastSet{};
}

std::vector<SeriesSource> forecastSources(const AppData& data) {
    std::vector<SeriesSource> sources;
    const std::vector<ForecastSource>& all = data.forecasts.sources();
    for (std::size_t k = 0; k < all.size() && k < data.forecastWinds.size(); ++k)
        sources.push_back({all[k].label, data.forecastWinds[k].get(), windCoverage(*all[k].store),
                           all[k].member});
    return sources;
}

int controlSource(const AppData& data) {
    const std::vector<ForecastSource>& all = data.forecasts.sources();
    for (std::size_t k = 0; k < all.size(); ++k)
        if (all[k].member == 0) return static_cast<int>(k);
    return -1;
}

namespace {

std::string shortTime(double day) {
    const DateTime t = fromDayNumber(day + 0.5 / 1440); // to the nearest minute
    char text[32];
    std::snprintf(text, sizeof text, "%02d/%02d %02d:%02d", t.day, t.month, t.hour, t.minute);
    return text;
}

} // namespace

std::vector<std::string> arrivalSpreadRows(const RoutingResult& result, int run,
                                           GeoPoint destination, const TextProvider& texts) {
    if (result.summaries.empty()) return {};
    for (const RunSummary& s : result.summaries)
        if (s.source < 0) return {};
    const ArrivalDistribution d = arrivalDistribution(result.summaries, destination, -1);
    const auto text = [&texts](int id) { return forecastText(texts, id).toStdString(); };
    std::vector<std::string> rows;
    rows.push_back(std::to_string(d.arrived) + " " + text(kForecastArrivedOf) + " " +
                   std::to_string(d.runs) + " " + text(kForecastRuns));
    if (d.arrived == 0) return rows;
    rows.push_back(text(kForecastSpread) + " " + shortTime(d.p10) + " - " + shortTime(d.p90));
    rows.push_back(text(kForecastMedian) + ": " + shortTime(d.median));
    if (run < 0 || run >= static_cast<int>(result.summaries.size())) run = d.nearestMedian;
    if (run < 0) return rows;
    const RunSummary& s = result.summaries[static_cast<std::size_t>(run)];
    const RunMeasures m = measureRun(s, destination);
    std::string line = text(kForecastThisRoute) + " " + s.label;
    if (m.arrived) {
        const long long minutes = std::llround((m.arrival - d.median) * 1440);
        char offset[32];
        std::snprintf(offset, sizeof offset, " %c%lld:%02lld", minutes < 0 ? '-' : '+',
                      std::llabs(minutes) / 60, std::llabs(minutes) % 60);
        line += ", " + shortTime(m.arrival) + offset;
    } else {
        line += ", " + text(kForecastNotArrived);
    }
    rows.push_back(line);
    return rows;
}

} // namespace navorel::app
