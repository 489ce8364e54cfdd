// Feeds arbitrary bytes to every GPX reader. What a reader accepts must write out and read
// back with the same number of routes, points and waypoints.
#include "geo/gpx.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace navorel;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view xml(reinterpret_cast<const char*>(data), size);
    std::string error;

    std::vector<GeoPoint> route;
    if (parseUserRoute(xml, route, error)) {
        std::vector<GeoPoint> back;
        if (!parseUserRoute(userRouteGpx(route), back, error) || back.size() != route.size())
            std::abort();
    }

    std::vector<std::vector<GeoPoint>> lines;
    if (parseRoutePolylines(xml, lines, error)) {
        BarrierList barriers;
        for (const auto& line : lines) barriers.push_back(Barrier{line});
        std::vector<std::vector<GeoPoint>> back;
        if (!parseRoutePolylines(barriersGpx(barriers), back, error) || back.size() != lines.size())
            std::abort();
        for (std::size_t i = 0; i < lines.size(); ++i)
            if (back[i].size() != lines[i].size()) std::abort();
    }

    WaypointSet set;
    if (parseWaypointSet(xml, set, error)) {
        if (set.positions.size() != set.names.size()) std::abort();
        WaypointSet back;
        if (!parseWaypointSet(waypointSetGpx(set), back, error) ||
            back.positions.size() != set.positions.size())
            std::abort();
    }
    return 0;
}
