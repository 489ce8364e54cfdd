#pragma once
// The texts of the runs over several forecasts (results window, information panel): language
// texts from 629 on, with the English text as the fallback of a language file without them.
#include "core/texts.h"

#include <QString>

namespace navorel::app {

constexpr int kForecastLabel = 629;      // Forecast
constexpr int kForecastArrival = 630;    // Arrival
constexpr int kForecastDuration = 631;   // Duration (h)
constexpr int kForecastDistance = 632;   // Distance (nm)
constexpr int kForecastUpwind = 633;     // Upwind (%)
constexpr int kForecastMaxWind = 634;    // Max wind (kt)
constexpr int kForecastNotArrived = 635; // not arrived
constexpr int kForecastMedian = 636;     // median
constexpr int kForecastControl = 637;    // control
constexpr int kForecastArrivals = 638;   // Arrival times
constexpr int kForecastMinimum = 639;    // minimum
constexpr int kForecastMaximum = 640;    // maximum
constexpr int kForecastRuns = 641;       // runs
constexpr int kForecastSaveCsv = 642;    // Save the runs (CSV)
constexpr int kForecastSavePng = 643;    // Save the picture (PNG)
constexpr int kForecastSpread = 644;     // Arrival 10-90 %:
constexpr int kForecastThisRoute = 645;  // This route:
constexpr int kForecastArrivedOf = 646;  // arrived of
constexpr int kForecastChooseRun = 647;  // Choose a run to see it on the chart

// The text of `id` from the language table, or the built-in English one.
QString forecastText(const TextProvider& texts, int id);

} // namespace navorel::app
