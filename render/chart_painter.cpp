#include "render/chart_painter.h"

#include "geo/shoreline_store.h"
#include "render/wind_symbols.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "settings/config_store.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>
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

// Contours of one shoreline block into `path`; `shift` brings the cell's 0..360 longitudes
// into the view.
void addContours(QPainterPath& path, const MapView& view,
                 const std::vector<ShorelineContour>& contours, double shift) {
    for (const ShorelineContour& c : contours) {
        if (c.vertices.size() < 3) continue;
        QPolygonF polygon;
        polygon.reserve(static_cast<qsizetype>(c.vertices.size()));
        for (const GeoPoint& p : c.vertices) {
            double x, y;
            view.project(p.lon + shift, p.lat, x, y);
            polygon << QPointF(x, y);
        }
        path.addPolygon(polygon);
        path.closeSubpath();
    }
}

// The coastline proper: every land edge except those the cell cut along its border.
void addCoast(QPainterPath& path, const MapView& view, const ShorelineCell& cell, double shift) {
    for (const ShorelineContour& c : cell.land) {
        const std::size_t n = c.vertices.size();
        if (n < 2) continue;
        bool drawing = false;
        for (std::size_t i = 0; i < n; ++i) {
            const GeoPoint a = c.vertices[i], b = c.vertices[(i + 1) % n];
            if (isBorderEdge(cell, a, b)) {
                drawing = false;
                continue;
            }
            double x, y;
            if (!drawing) {
                view.project(a.lon + shift, a.lat, x, y);
                path.moveTo(x, y);
                drawing = true;
            }
            view.project(b.lon + shift, b.lat, x, y);
            path.lineTo(x, y);
        }
    }
}

void paintShorelines(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const MapSettings& map = scene.settings->map;
    if (!scene.shore || (!map.showLand && !map.showShorelines)) return;
    scene.shore->openLevel(view.level);
    if (!scene.shore->hasFile()) return;
    QPainterPath land, lakes, coast;
    land.setFillRule(Qt::WindingFill);
    lakes.setFillRule(Qt::WindingFill);
    const int firstLon = static_cast<int>(std::floor(view.westLon));
    const int lastLon = std::max(firstLon + 1, static_cast<int>(std::ceil(view.eastLon)));
    const int firstLat = std::max(-90, static_cast<int>(std::floor(view.southLat)));
    const int lastLat = std::min(90, static_cast<int>(std::ceil(view.northLat)));
    if (lastLon - firstLon > 720) return; // a view wider than the globe twice is not sensible
    for (int i = firstLon; i < lastLon; ++i) {
        const double shift = i - wrapLonIndex(i);
        for (int j = firstLat; j < lastLat; ++j) {
            const ShorelineCell& cell = scene.shore->cellAt(i, j);
            addContours(land, view, cell.land, shift);
            addContours(lakes, view, cell.lakes, shift);
            if (map.showShorelines) addCoast(coast, view, cell, shift);
        }
    }
    if (map.showLand) {
        painter.fillPath(land, bgr(map.colorLand));
        painter.fillPath(lakes, bgr(map.colorSea));
    }
    if (map.showShorelines) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(bgr(map.colorCoast), 1));
        painter.drawPath(coast);
    }
}

QPointF along(QPointF p, double angle, double length) {
    return {p.x() + length * std::cos(angle), p.y() + length * std::sin(angle)};
}

void paintBarb(QPainter& painter, QPointF p, double theta, double knots, double shaft,
               double barb) {
    const BarbShape s = barbShape(knots);
    if (s.calm) {
        painter.drawEllipse(p, 4.0, 4.0);
        return;
    }
    const QPointF end = along(p, theta, shaft);
    painter.drawLine(p, end);
    const double side = theta + 3 * std::numbers::pi / 8;
    if (s.pennant) {
        const QPointF a = along(p, theta, 0.75 * shaft), b = along(p, theta, 0.5 * shaft);
        const QPointF tip =
            along(along(p, theta, 0.625 * shaft), theta + std::numbers::pi / 2, barb / 2);
        const QPointF triangle[3] = {a, tip, b};
        const QBrush old = painter.brush();
        painter.setBrush(painter.pen().color());
        painter.drawPolygon(triangle, 3);
        painter.setBrush(old);
        return;
    }
    double at = 1.0;
    for (int k = 0; k < s.fullBarbs; ++k, at -= 0.15) {
        const QPointF base = along(p, theta, at * shaft);
        painter.drawLine(base, along(base, side, barb));
    }
    if (s.halfBarb) {
        if (s.fullBarbs == 0) at = 0.8; // a lone half barb is set back from the end
        const QPointF base = along(p, theta, at * shaft);
        painter.drawLine(base, along(base, side, barb / 2));
    }
}

void paintArrow(QPainter& painter, QPointF p, double theta, double length, bool centred) {
    const double shaft = 2 * length;
    // The arrow points downwind: its head at the point, its tail towards the wind.
    QPointF head = p;
    if (centred) head = along(p, theta, -length);
    const QPointF tail = along(head, theta, shaft);
    painter.drawLine(head, tail);
    painter.drawLine(head, along(head, theta + 3 * std::numbers::pi / 8, length / 2));
    painter.drawLine(head, along(head, theta - 3 * std::numbers::pi / 8, length / 2));
}

void paintWind(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const WindSettings& ws = scene.settings->winds;
    const bool haveGrib = scene.wind && !scene.wind->empty() && scene.windFrame >= 0 &&
                          scene.windFrame < static_cast<int>(scene.wind->frames().size());
    if (!scene.uniqueWind && !haveGrib) return;
    const int space = std::max(10, ws.spaceBetweenArrows);
    const double length = std::max(1, ws.lengthArrow);
    painter.setPen(QPen(Qt::black, std::max(0.5, ws.thicknessArrowBlack)));
    painter.setBrush(Qt::NoBrush);
    for (int y = 0; y < view.height + ws.lengthArrow; y += space) {
        for (int x = 0; x < view.width + ws.lengthArrow; x += space) {
            double lon, lat;
            view.unproject(x, y, lon, lat);
            lon = std::remainder(lon, 360.0);
            double direction, speed;
            if (scene.uniqueWind) {
                direction = scene.windDirection;
                speed = scene.windForce;
            } else {
                WindSample w = frameSample(*scene.wind, scene.windFrame, static_cast<float>(lon),
                                           static_cast<float>(lat));
                if (!w.found && lon < 0)
                    w = frameSample(*scene.wind, scene.windFrame, static_cast<float>(lon + 360),
                                    static_cast<float>(lat));
                if (!w.found) continue;
                direction = w.direction;
                speed = w.speed * scene.windVariation / 100.0;
            }
            const double theta = windScreenAngle(direction);
            if (ws.showWindBarbs)
                paintBarb(painter, QPointF(x, y), theta, speed, 2 * length, ws.lengthBarb);
            else
                paintArrow(painter, QPointF(x, y), theta, length, ws.arrowCentered);
        }
    }
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
    for (const GeoPoint& p : scene.route->waypoints)
        painter.drawEllipse(toScreen(view, p.lon, p.lat), radius, radius);
}

void paintFront(QPainter& painter, const MapView& view, const std::vector<IsochronePoint>& f) {
    QPolygonF line;
    for (const IsochronePoint& p : f)
        if (p.valid) line << toScreen(view, p.lon, p.lat);
    if (line.size() >= 2) painter.drawPolyline(line);
}

void paintResult(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const RoutingDisplaySettings& rd = scene.settings->routingDisplay;
    QColor light = bgr(rd.colorIsochron);
    light.setAlpha(90);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(QPen(light, 1));
    if (scene.result) {
        const RoutingOutput& out = scene.result->output;
        for (const Isochrone& f : out.allIsochrones) paintFront(painter, view, f);
        if (!out.arrived)
            for (const Isochrone& f : out.legIsochrones) paintFront(painter, view, f);
    }
    if (scene.liveFronts)
        for (const std::vector<GeoPoint>& f : *scene.liveFronts) {
            QPolygonF line;
            for (const GeoPoint& p : f) line << toScreen(view, p.lon, p.lat);
            if (line.size() >= 2) painter.drawPolyline(line);
        }
    if (!scene.result || scene.result->output.route.empty()) return;
    const std::vector<IsochronePoint>& route = scene.result->output.route;
    QPolygonF line;
    line << toScreen(view, route.front().parentLon, route.front().parentLat);
    for (const IsochronePoint& p : route) line << toScreen(view, p.lon, p.lat);
    painter.setPen(QPen(bgr(rd.colorRouting), 2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.drawPolyline(line);
}

} // namespace

double longitudeIntoView(const MapView& view, double lon) {
    const double centre = (view.westLon + view.eastLon) / 2;
    return centre + std::remainder(lon - centre, 360.0);
}

void paintChart(QPainter& painter, const MapView& view, const ChartScene& scene) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.fillRect(QRectF(0, 0, view.width, view.height), bgr(scene.settings->map.colorSea));
    paintShorelines(painter, view, scene);
    paintWind(painter, view, scene);
    paintUserRoute(painter, view, scene);
    paintResult(painter, view, scene);
    painter.restore();
}

} // namespace navorel
