#pragma once
// A barrier: an open polyline the routing must not cross (its last point is not joined to
// its first).
#include "core/geodesy.h"

#include <vector>

namespace navorel {

struct Barrier {
    std::vector<GeoPoint> points;
};

using BarrierList = std::vector<Barrier>;

} // namespace navorel
