#pragma once
// The routing result on the chart: the isochrones, the segments from each point to its parent,
// the search ellipses, the hour labels and the best route (or every route of a scan) in the
// chosen drawing style, plus the fronts of a run in progress. The colour of a route segment is
// chosen by Qt-free functions so it can be checked without drawing.
#include "core/geodesy.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

class QPainter;

namespace navorel {

class MapView;
class ShorelineStore;
struct IsochronePoint;
struct RoutingResult;
struct RoutingParameters;
struct RoutingDisplaySettings;
struct UserRoute;
struct WindColorRamp;

// The drawing styles of the best route, in the order of the routing panel's buttons.
enum class RouteStyle {
    Dots = 0,
    Lines = 1,
    DotsAndLines = 2,
    BoatSpeed = 3,
    SailingEngine = 4,
    WindForce = 5,
    WindDirection = 6,
    PointOfSail = 7,
    Current = 8,
    Tacks = 9,
};

// The style of a RenderMode value; values outside 0..9 draw plain lines.
RouteStyle routeStyle(int renderMode);

// The fixed colours of the point-of-sail style (0x00BBGGRR).
constexpr std::uint32_t kPointOfSailEngine = 0x606060;   // grey
constexpr std::uint32_t kPointOfSailDownwind = 0xFF901E; // blue
constexpr std::uint32_t kPointOfSailUpwind = 0x3C14DC;   // crimson
constexpr std::uint32_t kPointOfSailReaching = 0x228B22; // green
constexpr std::uint32_t kArrivalCircleColour = 0x000000; // black
constexpr double kArrivalCircleRadius = 10;

// What a segment's colour may depend on besides the point itself.
struct SegmentColourInputs {
    std::uint32_t routing = 0, sailing = 0, engine = 0; // ColorRouting, ColorSailing, ColorEngine
    float minSog = 0, maxSog = 0;                       // the run's display range, m/s
    const std::vector<std::uint32_t>* windScale = nullptr; // wind scale colours, weakest first
    int windInterval = 3;                                  // knots per scale colour
};

// Red to green by speed over ground: N = trunc((sog - min) x 255 / (max - min)) limited to
// 0..255; an empty or unset range (max <= min) gives the middle of the scale.
std::uint32_t boatSpeedColour(float sog, float minSog, float maxSog);

// The wind scale index of an apparent wind speed in m/s: trunc(knots / interval), limited to
// 0..count - 1 (-1 when there is no scale).
int windForceIndex(float awsMs, int interval, int count);

// The colour of the segment that reaches `p` in a style (0x00BBGGRR).
std::uint32_t segmentColour(RouteStyle style, const IsochronePoint& p,
                            const SegmentColourInputs& in);

// The label written beside the end of scanned run `run`: what the scan varied in that run
// ("80 %" effectiveness, "Wind 120 %", "Start +3 h", or the polar's name). Empty when the
// result holds no such run.
std::string scanRunLabel(const RoutingResult& result, int run);

// Whether run `run` of a scan reached its last waypoint (a run stopped early or cancelled has
// no arrival); -1 asks for the last run made.
bool runArrived(const RoutingResult& result, int run = -1);

// The model a forecast's run sailed: its label without the member ("GFS member 12" gives
// "GFS", "member 3" gives "", "ECMWF" stays).
std::string runModel(const std::string& label);

// In a series over several forecasts, the run drawn bold: the one whose arrival is nearest the
// median arrival at the route's last waypoint; -1 for any other result.
int forecastBoldRun(const RoutingResult& result, const UserRoute* route);

// The line width of a route: Thickness x 0.25, at least 1 (and at most 64 so that an absurd
// setting cannot stall the rasteriser); three times that for the selected scan run.
double routeLineWidth(float thickness, bool selected);

struct RoutingLayer {
    const RoutingResult* result = nullptr;
    // Fronts of a run in progress, in drawing order; may be null.
    const std::vector<std::vector<GeoPoint>>* liveFronts = nullptr;
    // Routes of the runs of a scan in progress that have ended, as they ended; may be null.
    const std::vector<std::vector<GeoPoint>>* liveRoutes = nullptr;
    const UserRoute* route = nullptr;                // the ellipses of its legs; may be null
    const RoutingParameters* params = nullptr;       // RenderMode, Thickness, the Show switches
    const RoutingDisplaySettings* display = nullptr; // the colours
    const WindColorRamp* windColours = nullptr;      // for the wind-force style; may be null
    // Isochrone segments that cross land in this store are left out; it must be open at the
    // routing's level. Null: every segment is drawn.
    const ShorelineStore* landStore = nullptr;
    // A run is in progress (its legs' ellipses are drawn), whether or not `liveFronts` holds
    // its fronts.
    bool running = false;
    int selectedRun = -1; // the scan run selected in the results, drawn three times wider
    // Written beside the end of a route that did not arrive ("Routing not finished").
    std::string routeNote;
    double barbShaft = 30;  // wind barbs of the wind-direction style: 2 x LengthArrow
    double barbLength = 10; // LengthBarb
};

// Draws the layer; nothing without parameters and display settings. The view must have been
// updated for the device's size.
void paintRoutingLayer(QPainter& painter, const MapView& view, const RoutingLayer& layer);

// The valid points of a front, in order.
std::vector<GeoPoint> frontPoints(const std::vector<IsochronePoint>& front);

// A front's points in pieces, cut before each segment that crosses land (the isochrones leave
// such segments out); without a test, one piece. Safe on any thread the test is.
std::vector<std::vector<GeoPoint>>
cutAtLand(const std::vector<GeoPoint>& points,
          const std::function<bool(GeoPoint, GeoPoint)>& crossesLand);

// The part of a run in progress drawn over the cached chart as it comes: the fronts
// [firstFront, endFront) of `layer.liveFronts`, taken as pieces already cut at land, and the
// routes [firstRoute, endRoute) of the scan runs that ended, with the colours and switches of
// paintRoutingLayer. A window that redraws them after a change of view does so in slices.
void paintLiveRouting(QPainter& painter, const MapView& view, const RoutingLayer& layer,
                      std::size_t firstFront, std::size_t endFront, std::size_t firstRoute,
                      std::size_t endRoute);

} // namespace navorel
