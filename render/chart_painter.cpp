#include "render/chart_painter.h"

#include "core/position_text.h"
#include "geo/cities.h"
#include "geo/shoreline_store.h"
#include "render/barriers_layer.h"
#include "render/chart_cache.h"
#include "render/cities_layer.h"
#include "render/currents_layer.h"
#include "render/ocean_layer.h"
#include "render/routing_layer.h"
#include "render/tss_layer.h"
#include "render/waypoints_layer.h"
#include "render/wind_layer.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "settings/config_store.h"
#include "weather/color_table.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_store.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <numbers>

namespace navorel {

namespace {

// Colours are stored with red in the low byte.
QColor bgr(int c) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

QPointF toScreen(const MapView& view, double lon, double lat) {
    double x, y;
    view.project(longitudeIntoView(view, lon), lat, x, y);
    return {x, y};
}

// Whole-degree meridians and parallels; the tens in the fixed grid colour, the others in
// the configured one once the scale shows more than the coarsest shoreline.
void paintMapGrid(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const MapSettings& map = scene.settings->map;
    if (!map.showMapGrid) return;
    const QPen tens(QColor(110, 110, 110), 1);
    const QPen ones(bgr(map.colorMapGrid), 1);
    const bool drawOnes = view.level >= 1;
    painter.setRenderHint(QPainter::Antialiasing, false);
    const int firstLon = static_cast<int>(std::floor(view.westLon));
    const int lastLon = static_cast<int>(std::ceil(view.eastLon));
    for (int l = firstLon; l < lastLon; ++l) {
        const bool ten = l % 10 == 0;
        if (!ten && !drawOnes) continue;
        painter.setPen(ten ? tens : ones);
        const double x = view.scale * l + view.transX;
        painter.drawLine(QPointF(x, 0), QPointF(x, view.height));
    }
    const int firstLat = std::max(-89, static_cast<int>(std::floor(view.southLat)));
    const int lastLat = std::min(90, static_cast<int>(std::ceil(view.northLat)));
    for (int f = firstLat; f < lastLat; ++f) {
        const bool ten = f % 10 == 0;
        if (!ten && !drawOnes) continue;
        painter.setPen(ten ? tens : ones);
        const double y = view.transY - view.scale * mercatorDegrees(f);
        painter.drawLine(QPointF(0, y), QPointF(view.width, y));
    }
    painter.setRenderHint(QPainter::Antialiasing, true);
}

// The boat, and the boat whose fix is out of date.
const QColor kBoat(200, 30, 30);
const QColor kStaleBoat(150, 150, 150);

QPolygonF boatShape(QPointF at, double courseDegrees) {
    // A hull pointing up, turned to the course over ground.
    static const QPointF hull[] = {{0, -13}, {5, -3}, {5, 9}, {0, 11}, {-5, 9}, {-5, -3}};
    const double a = courseDegrees * std::numbers::pi / 180;
    QPolygonF shape;
    for (const QPointF& p : hull)
        shape << at + QPointF(p.x() * std::cos(a) - p.y() * std::sin(a),
                              p.x() * std::sin(a) + p.y() * std::cos(a));
    return shape;
}

void paintBoat(QPainter& painter, const MapView& view, const ChartScene& scene) {
    if (!scene.showBoat) return;
    const QPointF at = toScreen(view, scene.boatLon, scene.boatLat);
    painter.setPen(QPen(Qt::white, 1.5));
    painter.setBrush(scene.boatStale ? kStaleBoat : kBoat);
    painter.drawPolygon(boatShape(at, scene.boatCourse));
    painter.setBrush(Qt::NoBrush);
}

const CurrentField* currentField(const ChartScene& scene) {
    return scene.currents ? scene.currents->activeField() : nullptr;
}

// The current forecast (stream provider 2), when it is the active provider.
const CurrentSource* currentForecast(const ChartScene& scene) {
    return scene.currents && scene.currents->mode() == 2 ? scene.currents->forecast() : nullptr;
}

void paintCurrents(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const CurrentField* field = currentField(scene);
    const CurrentSettings& cs = scene.settings->currents;
    if (const CurrentSource* forecast = currentForecast(scene); forecast && cs.showArrows)
        drawForecastCurrentArrows(painter, view, *forecast, scene.displayTime);
    if (!field || !cs.showArrows || !scene.tides) return;
    drawCurrentArrows(painter, view, *field, *scene.tides, scene.displayTime);
    if (cs.showZones) drawCurrentZones(painter, view, *field);
}

void paintTideStations(QPainter& painter, const MapView& view, const ChartScene& scene,
                       std::vector<QRectF>& labels) {
    if (!scene.tides || !scene.settings->currents.showTides) return;
    drawTideStations(painter, view, *scene.tides, bgr(scene.settings->currents.colorTides), labels);
}

void paintCurrentScale(QPainter& painter, const MapView& view, const ChartScene& scene) {
    if ((currentField(scene) || currentForecast(scene)) && scene.settings->currents.showScale)
        drawCurrentScale(painter, view);
    if (scene.waves && scene.showWaves) drawWaveScale(painter, view);
}

void paintUserRoute(QPainter& painter, const MapView& view, const ChartScene& scene) {
    if (!scene.route || scene.route->waypoints.empty()) return;
    const RouteSettings& rs = scene.settings->route;
    const QColor colour = bgr(rs.color);
    painter.setPen(
        QPen(colour, std::max(1, rs.thickness), Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::NoBrush);
    for (const std::vector<GeoPoint>& leg : scene.route->legPolyline) {
        QPolygonF line;
        for (const GeoPoint& p : leg) line << toScreen(view, p.lon, p.lat);
        painter.drawPolyline(line);
    }
    painter.setBrush(Qt::white);
    const double radius = std::max(1, rs.thickness) + 3;
    const std::vector<GeoPoint>& points = scene.route->waypoints;
    for (std::size_t i = 1; i < points.size(); ++i)
        painter.drawEllipse(toScreen(view, points[i].lon, points[i].lat), radius, radius);
    // The start, apart from the end: a larger disc filled in the route's colour in a white ring.
    painter.setPen(QPen(Qt::white, 2));
    painter.setBrush(colour);
    painter.drawEllipse(toScreen(view, points[0].lon, points[0].lat), radius + 2, radius + 2);
    painter.setBrush(Qt::NoBrush);
}

void paintResult(QPainter& painter, const MapView& view, const ChartScene& scene) {
    RoutingLayer layer;
    layer.result = scene.result;
    layer.liveFronts = scene.liveFronts;
    layer.liveRoutes = scene.liveRoutes;
    layer.running = scene.routingRunning;
    layer.route = scene.route;
    layer.params = &scene.settings->routing;
    layer.display = &scene.settings->routingDisplay;
    layer.windColours = scene.windColors;
    layer.landStore = scene.routingLand;
    layer.selectedRun = scene.selectedRun;
    layer.routeNote = scene.routeNote;
    layer.barbShaft = 2.0 * scene.settings->winds.lengthArrow;
    layer.barbLength = scene.settings->winds.lengthBarb;
    paintRoutingLayer(painter, view, layer);
}

} // namespace

double longitudeIntoView(const MapView& view, double lon) {
    const double centre = (view.westLon + view.eastLon) / 2;
    return centre + std::remainder(lon - centre, 360.0);
}

void paintSeaLayer(QPainter& painter, const MapView& view, const ChartScene& scene) {
    painter.fillRect(QRectF(0, 0, view.width, view.height), bgr(scene.settings->map.colorSea));
    if (!scene.wind) return;
    paintWindSurface(painter, view, scene);
    if (scene.waves && scene.showWaves)
        drawWaveLayer(painter, view, *scene.waves, scene.displayTime);
}

void paintMapLayer(QPainter& painter, const MapView& view, const ChartScene& scene,
                   ShorePaths& shorePaths) {
    if (scene.shore) paintShorelines(painter, view, scene.settings->map, *scene.shore, shorePaths);
    if (scene.tss && view.level >= 2)
        drawTssZones(painter, view, scene.tss->outlines, scene.settings->tssColor);
    paintMapGrid(painter, view, scene);
}

void paintHourLayer(QPainter& painter, const MapView& view, const ChartScene& scene) {
    if (const CurrentField* field = currentField(scene);
        field && scene.settings->routing.currents && scene.settings->currents.showZones)
        drawCurrentZones(painter, view, *field);
    paintWindZones(painter, view, scene);
    paintCurrents(painter, view, scene);
    paintWindSymbols(painter, view, scene);
}

void paintChart(QPainter& painter, const MapView& view, const ChartScene& scene,
                ChartCache* cache) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    // Without a cache every image is drawn afresh, so that the chart is the same either way.
    ChartCache fresh;
    (cache ? *cache : fresh).paintLayers(painter, view, scene);
    if (scene.wind) {
        if (scene.waypoints && scene.settings->waypoints.show)
            drawWaypoints(painter, view, *scene.waypoints, scene.settings->waypoints.type,
                          scene.settings->waypoints.color);
        std::vector<QRectF> labels; // the names drawn
        if (scene.cities) {
            const MapSettings& m = scene.settings->map;
            drawCities(painter, view, *scene.cities,
                       {m.showCoastalCities, m.showLakeCities, m.showCapitals}, m.colorCities,
                       &labels);
        }
        paintTideStations(painter, view, scene, labels);
        // The barriers lie under the route, which is drawn along or across them.
        if (scene.barriers)
            drawBarriers(painter, view, *scene.barriers,
                         {scene.settings->barrierColor, scene.selectedBarrier,
                          scene.selectedBarrierPoint, scene.editingBarriers},
                         scene.barrierScreen);
        paintUserRoute(painter, view, scene);
        paintResult(painter, view, scene);
        if (!scene.boatOverChart) paintBoat(painter, view, scene);
        paintWindScale(painter, view, scene);
        paintCurrentScale(painter, view, scene);
        // The panels and the time bar are drawn over the cached chart (app/chart_overlays).
    }
    painter.restore();
}

bool overBoat(const MapView& view, const ChartScene& scene, double x, double y) {
    if (!scene.showBoat) return false;
    const QPointF at = toScreen(view, scene.boatLon, scene.boatLat);
    return std::hypot(x - at.x(), y - at.y()) <= kBoatHoverPixels;
}

void paintOverlays(QPainter& painter, const MapView& view, const ChartScene& scene, double hoverX,
                   double hoverY) {
    if (scene.boatOverChart) paintBoat(painter, view, scene);
    if (!overBoat(view, scene, hoverX, hoverY)) return;
    // The boat's position under it, on the tooltip colour.
    const QPointF at = toScreen(view, scene.boatLon, scene.boatLat);
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    QString text = QString::fromStdString(formatPosition(scene.boatLat, scene.boatLon));
    if (!scene.boatNote.empty()) text += QLatin1Char('\n') + QString::fromStdString(scene.boatNote);
    const QRectF measured =
        painter.boundingRect(QRectF(0, 0, 400, 40), Qt::AlignLeft | Qt::AlignTop, text);
    const QRectF box(at.x(), at.y() + 20, measured.width() + 10, measured.height() + 1);
    const QColor back = bgr(scene.settings->toolbar.colorTooltip);
    painter.fillRect(box, back);
    painter.setPen(back.lightness() < 128 ? Qt::white : Qt::black);
    painter.drawText(QRectF(at.x() + 5, at.y() + 20, 400, 40), Qt::AlignLeft | Qt::AlignTop, text);
}

} // namespace navorel
