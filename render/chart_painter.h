#pragma once
// Draws the chart on any paint device (the window, or an image for a screenshot), layer by
// layer: the sea, the land and lakes of the drawing shoreline level, the wind symbols of the
// frame shown, the user's route, then the routing result.
#include "core/geodesy.h"
#include "render/map_view.h"

#include <vector>

class QPainter;

namespace navorel {

class ShorelineStore;
class WindStore;
struct Settings;
struct UserRoute;
struct RoutingResult;

struct ChartScene {
    const Settings* settings = nullptr;
    ShorelineStore* shore = nullptr; // drawing store, opened at the view's level when painted
    const WindStore* wind = nullptr;
    int windFrame = 0;
    bool uniqueWind = false; // the constant wind below instead of the GRIB
    double windForce = 0, windDirection = 0;
    double windVariation = 100; // percent applied to GRIB speeds
    const UserRoute* route = nullptr;
    const RoutingResult* result = nullptr;
    // Fronts of a run in progress, in drawing order.
    const std::vector<std::vector<GeoPoint>>* liveFronts = nullptr;
};

// `view` must have been updated for the device's size.
void paintChart(QPainter& painter, const MapView& view, const ChartScene& scene);

// A longitude brought within 180 degrees of the view's centre, so that it projects inside the
// view when the view shows it.
double longitudeIntoView(const MapView& view, double lon);

} // namespace navorel
