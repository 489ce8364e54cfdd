#pragma once
// The route the user draws: waypoints from the departure to the destination, and the geometry
// of every leg the routing sails (length, bearing, great-circle polyline, search ellipse),
// recomputed after every change.
#include "core/geodesy.h"
#include "routing/routing_inputs.h"
#include "routing/routing_parameters.h"

#include <vector>

namespace navorel {

struct UserRoute {
    std::vector<GeoPoint> waypoints;
    GeoPoint savedFirst; // the first waypoint, put aside while starting from the boat

    // Derived by recompute, one entry per leg (waypoint i to i + 1) unless noted.
    std::vector<float> legLength; // great-circle, metres
    float shortestLeg = 0;        // metres
    int shortestLegIndex = -1;
    float longestLeg = 0; // metres
    int longestLegIndex = -1;
    float totalLength = 0;          // metres
    std::vector<float> legBearing;  // initial great-circle bearing, degrees
    std::vector<float> backBearing; // from the second waypoint back to the first, degrees
    std::vector<GeoPoint> focusA;   // ellipse focus near the leg's first waypoint
    std::vector<GeoPoint> focusB;   // ellipse focus near the leg's second waypoint
    std::vector<float> focusInset;  // distance of each focus from its waypoint, metres
    double ellipseRatio = 0; // minor-to-major axis ratio of the ellipses (Excentricity / 100)
    std::vector<std::vector<GeoPoint>> legPolyline; // first waypoint, great-circle points, second
    std::vector<bool> onLand;                       // one per waypoint
    int onLandCount = 0;
    // Legs whose two waypoints coincide: they have no direction, no ellipse and no outline,
    // and the routing passes over them.
    int zeroLengthLegs = 0;

    // Ellipse outlines already drawn, per leg (see ellipseOutline); cleared by recompute.
    // Only the drawing thread fills it; the routing never reads it.
    mutable std::vector<std::vector<GeoPoint>> outlineCache;

    // Hover state of the chart's mouse handling.
    int hoveredPoint = -1;
    int hoveredLeg = -1;
    float hoveredLegBearing = 0; // from the point under the mouse to the leg's end, degrees
};

// Rebuilds every derived field from the waypoints, Excentricity and StraitSegment. Waypoints
// on land are found with `landTests` (the routing shoreline store at its finest level); none:
// no waypoint is on land.
void recompute(UserRoute& route, const RoutingParameters& params, const CrossingTests* landTests);

// The closed outline of leg `leg`'s ellipse, for drawing: along 64 rays from the leg's middle,
// the first point on a grid of a thousandth of the leg whose distances to the two foci add up
// to the leg's length. Computed on first use and kept until the next recompute, so that a
// long route costs nothing until its ellipses are shown. Empty for a leg of 0 or no such leg.
const std::vector<GeoPoint>& ellipseOutline(const UserRoute& route, std::size_t leg);

// "Start from the boat": on, the first waypoint is put aside and replaced by the boat's
// position; off, it is restored. Then recompute. Nothing happens on an empty route.
void setFromBoat(UserRoute& route, bool on, GeoPoint boat, const RoutingParameters& params,
                 const CrossingTests* landTests);

// The Mercator chart as the mouse sees it: pixels per degree, the screen x of longitude 0 and
// the screen y of the equator, and the raw longitudes at the view's west and east edges.
struct ChartProjection {
    double scale = 100;
    double transX = 700;
    double transY = 5200;
    double westLon = -180;
    double eastLon = 180;
};

// Screen position of a geographic one; the longitude is first brought into the view across the
// 180 degree meridian when the view shows it there.
void projectToScreen(const ChartProjection& view, GeoPoint p, double& x, double& y);
// The position under a screen point, longitude in -180..180.
GeoPoint unprojectFromScreen(const ChartProjection& view, double x, double y);

// The first waypoint within thickness + 3 pixels of the mouse in x and in y, or -1; stored as
// the hovered point.
int hitPoint(UserRoute& route, double mouseX, double mouseY, const ChartProjection& view,
             float thickness);
// Whether a leg's screen polyline passes within 5 pixels of the mouse (perpendicular foot
// strictly inside a segment). Sets the hovered leg (-1 when none) and the bearing from the
// point under the mouse to the leg's end waypoint.
bool hitLeg(UserRoute& route, double mouseX, double mouseY, const ChartProjection& view);

// Route edits on waypoint h, each followed by recompute. An index outside the route does
// nothing.
void deletePoint(UserRoute& route, int h, const RoutingParameters& params,
                 const CrossingTests* landTests);
// Removes the waypoints before h (h becomes the first) and clears the hovered point.
void deletePointsBefore(UserRoute& route, int h, const RoutingParameters& params,
                        const CrossingTests* landTests);
// Removes the waypoints after h (h becomes the last).
void deletePointsAfter(UserRoute& route, int h, const RoutingParameters& params,
                       const CrossingTests* landTests);
void removeRoute(UserRoute& route, const RoutingParameters& params, const CrossingTests* landTests);
void reverseRoute(UserRoute& route, const RoutingParameters& params,
                  const CrossingTests* landTests);

} // namespace navorel
