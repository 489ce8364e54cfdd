#pragma once
// The texts of the departure planner and of the comfort limits: language texts from 589 on,
// with the English text as the fallback of a language file that does not have them yet.
#include "core/texts.h"

#include <QString>

namespace navorel::app {

constexpr int kPlannerTitle = 589;         // Departure planner
constexpr int kPlannerFrom = 590;          // First departure:
constexpr int kPlannerTo = 591;            // Last departure:
constexpr int kPlannerStep = 592;          // Every (hours):
constexpr int kPlannerPlan = 593;          // Plan
constexpr int kPlannerCancel = 594;        // Cancel
constexpr int kPlannerDurationAxis = 595;  // Duration (hours)
constexpr int kPlannerArrivalAxis = 596;   // Arrival
constexpr int kPlannerColourBy = 597;      // Colour by:
constexpr int kPlannerMaxWind = 598;       // Strongest wind
constexpr int kPlannerUpwind = 599;        // upwind
constexpr int kPlannerEngineHours = 600;   // Hours under engine
constexpr int kPlannerDeparture = 601;     // Departure
constexpr int kPlannerArrival = 602;       // Arrival
constexpr int kPlannerArrives = 603;       // Arrives
constexpr int kPlannerDoesNotArrive = 604; // Does not arrive
constexpr int kPlannerNightArrival = 605;  // Arrival by night
constexpr int kPlannerFastest = 606;       // Fastest
constexpr int kPlannerBestComfort = 607;   // Most comfortable
constexpr int kPlannerEngine = 608;        // under engine
constexpr int kPlannerShow = 609;          // Show:
constexpr int kPlannerSaveCsv = 610;       // Save the table (CSV)
constexpr int kPlannerSavePng = 611;       // Save the picture (PNG)
constexpr int kPlannerRouted = 612;        // departures routed
constexpr int kPlannerChoose = 613;        // Click a departure to route it on the chart
constexpr int kPlannerNoGust = 614; // The forecast carries no gust: the gust limit was not applied
constexpr int kPlannerUpwindShare = 615;  // Share upwind
constexpr int kPlannerDuration = 616;     // Duration
constexpr int kTextWindMaxUpwind = 617;   // Upwind (true wind angle under 60°), maximum:
constexpr int kTextWindMaxDownwind = 618; // Running (true wind angle over 150°), maximum:
constexpr int kTextGustMax = 619;         // Gust, maximum:
constexpr int kPlannerBusy = 620;         // A routing is running
constexpr int kTextNoLimit = 621;         // (0 = no limit)
constexpr int kPlannerHelp = 622;         // D: departure planner

// The text of `id` from the language table, or the built-in English one.
QString plannerText(const TextProvider& texts, int id);

} // namespace navorel::app
