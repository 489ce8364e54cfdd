#pragma once
// The best-course method: at every step the boat steers for the next waypoint (sailing the
// polar's best angle when the waypoint lies too close to the wind or too deep downwind) and
// goes on waypoint after waypoint.
#include "routing/isochrones.h"

namespace navorel {

// Routes the whole user route from `start` with steps of Timestep minutes, at most
// MaxIterations steps. Stops on an invalid step (status 1), on a step across land or a
// barrier (kept as the last point, status 1), at MaxIterations (status 1) or on cancel.
RoutingOutput routeBestCourse(const RoutingInputs& in, const UserRoute& route,
                              const DateTime& start);

} // namespace navorel
