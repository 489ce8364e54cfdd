#pragma once
// The chart as both the window and the screenshot draw it: the starting view, the scene over
// the loaded data, and a rendering into an image.
#include "app/display_state.h"
#include "app/startup.h"
#include "render/chart_painter.h"

#include <QImage>
#include <QSize>

namespace navorel::app {

// The view of Config.ini fitted to a client area; with `frame`, then framed on the route, else
// on the first wind frame.
void setUpView(MapView& view, const AppData& data, int width, int height, bool frame = true);

// Display values copied once, so that painting never reads what a running routing writes.
struct DisplayWind {
    bool unique = false;
    double force = 0, direction = 0, variation = 100;
};
DisplayWind displayWind(const AppData& data);

// With `display`, the record and time it shows; else the wind store's current frame.
ChartScene makeScene(AppData& data, const DisplayWind& wind, const RoutingResult* result,
                     const std::vector<std::vector<GeoPoint>>* liveFronts,
                     const DisplayState* display = nullptr,
                     const std::vector<std::vector<GeoPoint>>* liveRoutes = nullptr);

// How the last run ended, for the status bar: "Routing finished", "Routing cancelled", or
// "Routing not finished" with where and why it stopped; a refused run gives its message, an
// ignored one an empty text.
std::string routingStatusText(const RoutingResult& result, const TextProvider& texts);

// The chart at `size`, drawn exactly as the window draws it.
QImage renderChartImage(AppData& data, const MapView& view, const DisplayWind& wind,
                        const RoutingResult* result);

} // namespace navorel::app
