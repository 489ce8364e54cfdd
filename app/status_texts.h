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
    // While the link is not reading: why, in the current language, and the wait before the
    // next attempt to reconnect (0: none is planned).
    std::string gpsProblem;
    int gpsRetryMs = 0;
    double now = 0; // UTC day number, for the age of the boat's fix
};

// A fix older than this no longer stands for where the boat is.
constexpr double kBoatStaleSeconds = 60;

// Seconds since the boat's fix came in (0 when there is none).
double boatAgeSeconds(const AppData& data, double now);
// The boat is drawn and taken as out of date: a fix older than a minute, or the link is not
// reading.
bool boatStale(const AppData& data, double now);
// An age as "45 s", "12 min" or "3 h 05 min".
std::string ageText(double seconds);
// "Age of the last fix: 12 min" in the current language.
std::string boatAgeLine(const AppData& data, double now);
// "Next attempt in 4 s" in the current language.
std::string retryText(const TextProvider& texts, int retryMs);

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
