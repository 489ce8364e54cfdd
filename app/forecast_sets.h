#pragma once
// Several forecasts opened together in the window: an ensemble's members or several models'
// files become a set of wind stores (each cropped to the route's search area); the chart shows
// the first one's wind and the routing goes over all of them.
#include "app/startup.h"
#include "routing/forecast_series.h"

#include <string>
#include <vector>

namespace navorel::app {

// Reads `paths` as a set of forecasts (one store per model and member). On success the chart's
// wind becomes a copy of the first forecast's and the set replaces the one loaded; on failure
// nothing changes and `error` holds one line.
bool openForecastSet(AppData& data, const std::vector<std::string>& paths, std::string& error);

// Back to one forecast: the set is dropped (the chart's wind stays).
void dropForecastSet(AppData& data);

// The forecasts of the set as the routing sees them; empty without a set.
std::vector<SeriesSource> forecastSources(const AppData& data);

// The place of the control member (member 0) in the set, or -1.
int controlSource(const AppData& data);

// The spread of the arrival times of a routing over several forecasts, for the information
// panel: the 10 % to 90 % range, the median and the arrival of route `run` (-1: the run
// nearest the median, the one the chart draws bold) against the median. Empty for a routing
// over one forecast.
std::vector<std::string> arrivalSpreadRows(const RoutingResult& result, int run,
                                           GeoPoint destination, const TextProvider& texts);

} // namespace navorel::app
