#pragma once
// The user's set of named waypoints, shown on the chart and kept in Data/Waypoints.gpx.
#include "core/geodesy.h"

#include <string>
#include <utility>
#include <vector>

namespace navorel {

// Two parallel lists, one entry per waypoint in file order; both always have the same length.
// Names are UTF-8.
struct WaypointSet {
    std::vector<GeoPoint> positions;
    std::vector<std::string> names;
};

inline void addWaypoint(WaypointSet& set, GeoPoint position, std::string name) {
    set.positions.push_back(position);
    set.names.push_back(std::move(name));
}

} // namespace navorel
