#include "app/chart_view.h"

#include "app/status_texts.h"
#include "render/routing_layer.h"

#include <QPainter>

namespace navorel::app {

void setUpView(MapView& view, const AppData& data, int width, int height, bool frame) {
    const MapSettings& map = data.config.settings.map;
    view.scale = map.scale;
    view.transX = map.transX;
    view.transY = map.transY;
    view.zoom = map.zoom > 1 ? map.zoom : 1.2;
    view.factor[0] = map.factor0;
    view.factor[1] = map.factor1;
    view.factor[2] = map.factor2;
    view.factor[3] = map.factor3;
    view.resize(width, height);
    if (!frame) return;
    GeoBox box;
    if (routeBox(data.route, box) &&
        view.frameRoute(box, static_cast<int>(data.route.waypoints.size())))
        return;
    if (!data.wind.empty()) {
        const FrameGeometry& g = data.wind.geometry(0);
        view.frameGrib({g.minLon, g.maxLon, g.minLat, g.maxLat}, g.wrap);
    }
}

DisplayWind displayWind(const AppData& data) {
    const RoutingParameters& p = data.config.settings.routing;
    return {p.uniqueWind, static_cast<double>(p.windForce), static_cast<double>(p.windDirection),
            static_cast<double>(p.variation)};
}

ChartScene makeScene(AppData& data, const DisplayWind& wind, const RoutingResult* result,
                     const std::vector<std::vector<GeoPoint>>* liveFronts,
                     const DisplayState* display,
                     const std::vector<std::vector<GeoPoint>>* liveRoutes) {
    ChartScene scene;
    scene.settings = &data.config.settings;
    scene.shore = data.drawingShore.get();
    if (data.drawingShore) {
        const int level = data.config.settings.routing.coastsQuality;
        if (!data.chartLand)
            data.chartLand = std::make_unique<ShorelineStore>(data.drawingShore->folder());
        if (data.chartLand->level() != level) data.chartLand->openLevel(level);
        if (data.chartLand->hasFile()) scene.routingLand = data.chartLand.get();
    }
    // The wind store exists once the start-up has made its wind field.
    scene.wind = data.windField ? &data.wind : nullptr;
    scene.windColors = &data.windColors;
    scene.windFrame = data.wind.currentFrame();
    scene.uniqueWind = wind.unique;
    scene.windForce = wind.force;
    scene.windDirection = wind.direction;
    scene.windVariation = wind.variation;
    scene.currents = data.haveCurrents ? &data.currents : nullptr;
    scene.waves = data.oceanWaves.empty() ? nullptr : &data.oceanWaves;
    scene.showWaves = data.showWaves;
    scene.tides = data.tides.stations().empty() ? nullptr : &data.tides;
    // The streams are shown at the time of the forecast frame shown, else now.
    scene.displayTime =
        data.wind.empty()
            ? now().dayNumber
            : data.wind
                  .frameTimes()[static_cast<std::size_t>(std::max(0, data.wind.currentFrame()))];
    scene.windField = data.windField.get();
    if (display && !data.wind.empty()) {
        scene.windFrame = display->record;
        scene.displayTime = display->time;
        scene.windAtTime = display->interpolated;
    }
    scene.waypoints = data.haveWaypoints ? &data.waypoints : nullptr;
    scene.tss = &data.tss;
    scene.cities = &data.cities;
    scene.barriers = &data.barriers.barriers;
    scene.route = &data.route;
    scene.showBoat = data.config.settings.com.showBoat && data.boat.valid;
    scene.boatLon = data.boat.lon;
    scene.boatLat = data.boat.lat;
    scene.boatCourse = data.boat.course;
    if (scene.showBoat) {
        const double time = now().dayNumber;
        scene.boatStale = boatStale(data, time);
        scene.boatNote = boatAgeLine(data, time);
    }
    scene.result = result;
    if (result && !runArrived(*result))
        scene.routeNote = data.texts.text(result->output.status == kStatusCancelled ? 377 : 79);
    scene.liveFronts = liveFronts;
    scene.liveRoutes = liveRoutes;
    return scene;
}

std::string routingStatusText(const RoutingResult& result, const TextProvider& texts) {
    if (result.refusal == RunRefusal::Ignored) return {};
    return runOutcome(result, texts).text;
}

QImage renderChartImage(AppData& data, const MapView& view, const DisplayWind& wind,
                        const RoutingResult* result) {
    QImage image(view.width, view.height, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    QPainter painter(&image);
    paintChart(painter, view, makeScene(data, wind, result, nullptr));
    painter.end();
    return image;
}

} // namespace navorel::app
