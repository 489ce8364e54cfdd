#pragma once
// Draws the chart on any paint device (the window, or an image for a screenshot), layer by
// layer: the sea, the land and lakes of the drawing shoreline level, the wind symbols of the
// frame shown, the user's route, then the routing result.
#include "core/geodesy.h"
#include "geo/barrier.h"
#include "geo/barriers.h"
#include "render/map_view.h"

#include <string>
#include <vector>

class QPainter;
class QPointF;

namespace navorel {

class ShorelineStore;
class WindStore;
class WindField;
struct Settings;
struct UserRoute;
struct RoutingResult;

struct WindColorRamp;
class WindField;
struct WaypointSet;
class CurrentProvider;
class OceanWaves;
class TideHarmonics;
class CityStore;
class TssStore;

struct ChartScene {
    const Settings* settings = nullptr;
    ShorelineStore* shore = nullptr; // drawing store, opened at the view's level when painted
    // Open at the routing's level: isochrone segments crossing its land are left out.
    const ShorelineStore* routingLand = nullptr;
    const WindStore* wind = nullptr; // null or empty: no forecast loaded
    const WindColorRamp* windColors = nullptr;
    int windFrame = 0; // the record shown, or the one at or before the display time
    // Set when the display time lies between records: the surface and the symbols are then
    // sampled from `windField` at `displayTime`, interpolated in time.
    bool windAtTime = false;
    const WindField* windField = nullptr;
    bool uniqueWind = false; // the constant wind below instead of the GRIB
    double windForce = 0, windDirection = 0;
    double windVariation = 100; // percent applied to GRIB speeds
    // Tidal streams and tide stations; null when none are loaded.
    const CurrentProvider* currents = nullptr;
    const TideHarmonics* tides = nullptr;
    double displayTime = 0; // day number shown (streams, and the wind between records)
    // The wave forecast, drawn as a colour scale of the wave height when `showWaves`.
    const OceanWaves* waves = nullptr;
    bool showWaves = false;
    const WaypointSet* waypoints = nullptr;
    const TssStore* tss = nullptr;     // traffic zones, drawn at level 2 and above
    const CityStore* cities = nullptr; // town names
    // The user's barriers; every vertex is shown while they are edited, and the selected
    // barrier (and vertex) is marked. With `barrierScreen`, the drawing leaves there the screen
    // position of every vertex, for the mouse's hit test.
    const BarrierList* barriers = nullptr;
    int selectedBarrier = -1, selectedBarrierPoint = -1;
    bool editingBarriers = false;
    BarrierScreenCopy* barrierScreen = nullptr;
    const UserRoute* route = nullptr;
    const RoutingResult* result = nullptr;
    int selectedRun = -1;  // the scan run selected in the results
    std::string routeNote; // beside the end of a route that did not arrive
    // Fronts of a run in progress, in drawing order.
    const std::vector<std::vector<GeoPoint>>* liveFronts = nullptr;
    // Routes of the runs of a scan in progress that have ended.
    const std::vector<std::vector<GeoPoint>>* liveRoutes = nullptr;
    // A run is in progress whose fronts are drawn elsewhere (over the cached chart).
    bool routingRunning = false;
    bool showBoat = false;
    double boatLon = 0, boatLat = 0, boatCourse = 0;
    bool boatStale = false; // the fix is out of date: the boat is drawn grey
    std::string boatNote;   // the tooltip's line under the position (the fix's age)
    // The boat is drawn by paintOverlays instead of paintChart: a window whose GPS sends many
    // fixes a second moves it without drawing the whole chart again.
    bool boatOverChart = false;
};

class ChartCache;

// The cached chart, layer by layer in a fixed order: sea, wind surface, shorelines and land,
// traffic zones, map grid, current zones, wind zones, current arrows, wind symbols, waypoints,
// cities, tide stations, barriers, the user's route, the routing result, the boat and the
// scales. `view` must have been updated for the device's size. With `cache`, the layers that
// did not change since its last chart are taken from it (render/chart_cache.h).
void paintChart(QPainter& painter, const MapView& view, const ChartScene& scene,
                ChartCache* cache = nullptr);

// What is drawn over the cached chart without redrawing it: the boat when the scene asks for
// it there, and its tooltip while the mouse (hoverX, hoverY) is over it.
void paintOverlays(QPainter& painter, const MapView& view, const ChartScene& scene, double hoverX,
                   double hoverY);
// True when (x, y) lies within kBoatHoverPixels of the boat's position.
constexpr double kBoatHoverPixels = 5;
bool overBoat(const MapView& view, const ChartScene& scene, double x, double y);

// A wind barb at p: the shaft of `shaft` pixels along the screen angle theta, barbs of `barb`
// pixels (a calm circle, half barbs, barbs or a pennant by the speed), in the painter's pen.
void paintBarb(QPainter& painter, QPointF p, double theta, double knots, double shaft, double barb);
// A wind arrow of 2 x `length` pointing downwind, its head at p or centred on it.
void paintArrow(QPainter& painter, QPointF p, double theta, double length, bool centred);

// A longitude brought within 180 degrees of the view's centre, so that it projects inside the
// view when the view shows it.
double longitudeIntoView(const MapView& view, double lon);

} // namespace navorel
