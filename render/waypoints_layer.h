#pragma once
// The waypoint set on the chart, in the [Waypoints] colour, in the style of [Waypoints] Type:
// 0 a ringed dot; 1 a cross with the waypoint's name; 2 a flag with the name. The caller
// draws it only when a set exists and [Waypoints] Show is on.
#include "geo/waypoints.h"

class QPainter;

namespace navorel {

class MapView;

void drawWaypoints(QPainter& painter, const MapView& view, const WaypointSet& set, int type,
                   int colour);

} // namespace navorel
