#pragma once
// The seven texts of the status bar: the position under the mouse, the stream there, the wind
// there at the time shown (or the constant wind), the record shown, the shoreline level drawn,
// the GPS port and the boat's speed and course. Qt-free.
#include "app/display_state.h"
#include "app/startup.h"

#include <array>
#include <string>

namespace navorel::app {

constexpr int kStatusParts = 7;
// Right edges of the parts; the last one runs to the window's edge.
constexpr int kStatusEdges[kStatusParts - 1] = {180, 320, 460, 600, 690, 745};

// min(12, trunc(((knots / 1.852)^2 * 1.44)^0.33333)).
int beaufortForce(double knots);

struct StatusPlace {
    bool known = false; // the mouse is over the chart
    double lon = 0, lat = 0;
    int shoreLevel = 0; // drawing shoreline level 0..4
    bool gpsOpen = false;
};

std::array<std::string, kStatusParts> statusTexts(const AppData& data, const DisplayState& display,
                                                  const StatusPlace& place);

// Texts of the routing's progress in the status bar.
constexpr int kTextIsochronesDone = 549;
constexpr int kTextRunTime = 550;
constexpr int kTextStillToGo = 551;

// The progress of a routing while it runs: "Isochrones: 42   Time: 1:05   To go: 312.4 M" —
// the fronts made so far (by every run of a scan), the time since the start (m:ss, or h:mm:ss
// past an hour) and the distance from the last front to the last waypoint, nautical miles
// (left out while no front has come, metresToGo < 0).
std::string routingProgressText(const TextProvider& texts, int fronts, double seconds,
                                double metresToGo);

} // namespace navorel::app
