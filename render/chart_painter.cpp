#include "render/chart_painter.h"

#include "core/position_text.h"
#include "geo/cities.h"
#include "geo/shoreline_store.h"
#include "render/barriers_layer.h"
#include "render/cities_layer.h"
#include "render/currents_layer.h"
#include "render/ocean_layer.h"
#include "render/routing_layer.h"
#include "render/tss_layer.h"
#include "render/waypoints_layer.h"
#include "render/wind_surface.h"
#include "render/wind_symbols.h"
#include "routing/routing_run.h"
#include "routing/user_route.h"
#include "settings/config_store.h"
#include "weather/color_table.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"
#include "weather/wind_sampler.h"
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

// The coastline proper: every edge of `contours` except those the cell cut along its border.
void addCoast(QPainterPath& path, const MapView& view, const ShorelineCell& cell,
              const std::vector<ShorelineContour>& contours, double shift) {
    for (const ShorelineContour& c : contours) {
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
            // Hidden lakes stay land, as the land test counts them.
            if (map.showLakes) addContours(lakes, view, cell.lakes, shift);
            if (map.showShorelines) {
                addCoast(coast, view, cell, cell.land, shift);
                if (map.showLakes) addCoast(coast, view, cell, cell.lakes, shift);
            }
        }
    }
    // The coast is stroked first and the land filled over it, so the coastline shows on the
    // sea side of the land's edge.
    if (map.showShorelines) {
        painter.setBrush(Qt::NoBrush);
        painter.setPen(QPen(bgr(map.colorCoast), 1.5));
        painter.drawPath(coast);
    }
    if (map.showLand) {
        painter.fillPath(land, bgr(map.colorLand));
        if (map.showLakes) painter.fillPath(lakes, bgr(map.colorSea));
    }
}

QPointF along(QPointF p, double angle, double length) {
    return {p.x() + length * std::cos(angle), p.y() + length * std::sin(angle)};
}

} // namespace

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

namespace {

// The display time lies between records and a wind source can sample it.
bool atTime(const ChartScene& scene) {
    return scene.windAtTime && scene.windField;
}

// The wind of the symbol at (x, y); false where the forecast has none.
bool symbolWind(const MapView& view, const ChartScene& scene, double x, double y, double& direction,
                double& speed) {
    if (scene.uniqueWind) {
        direction = scene.windDirection;
        speed = scene.windForce;
        return true;
    }
    double lon, lat;
    view.unproject(x, y, lon, lat);
    const FrameGeometry& g = scene.wind->geometry(scene.windFrame);
    if (lat < g.minLat || lat > g.maxLat) return false;
    // The area's longitudes run on past 180 when it crosses the date line.
    const double east = g.minLon + g.lonSpan;
    double testLon = lon;
    if (g.wrap && testLon < 0) testLon += 360;
    if (testLon < g.minLon || testLon > east) return false;
    const auto sample = [&](double x) {
        return atTime(scene) ? scene.windField->windAt(static_cast<float>(x),
                                                       static_cast<float>(lat), scene.displayTime)
                             : frameSample(*scene.wind, scene.windFrame, static_cast<float>(x),
                                           static_cast<float>(lat));
    };
    WindSample w = sample(lon);
    if (!w.found && lon < 0) w = sample(lon + 360);
    if (!w.found) return false;
    direction = w.direction;
    speed = w.speed * scene.windVariation / 100.0;
    return true;
}

bool haveForecast(const ChartScene& scene) {
    return scene.wind && !scene.wind->empty() && scene.windFrame >= 0 &&
           scene.windFrame < static_cast<int>(scene.wind->frames().size());
}

bool surfaceShown(const ChartScene& scene) {
    const WindSettings& ws = scene.settings->winds;
    return ws.showSurfaceGradient || ws.showSurfaceNoGradient;
}

// The sea coloured by wind speed at the frame shown; a uniform colour for the constant wind.
void paintWindSurface(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const WindSettings& ws = scene.settings->winds;
    if (!surfaceShown(scene) || !scene.windColors) return;
    if (scene.uniqueWind) {
        const OpaqueColor c =
            windColor(*scene.windColors, true, scene.windForce, ws.oneColorPerKnot);
        painter.fillRect(QRectF(0, 0, view.width, view.height), QColor(c.red, c.green, c.blue));
        return;
    }
    if (!haveForecast(scene)) return;
    SurfaceColoring coloring;
    coloring.ramp = scene.windColors;
    coloring.variationPercent = scene.windVariation;
    coloring.oneColorPerKnot = ws.oneColorPerKnot;
    if (ws.showSurfaceGradient) {
        const SurfaceBitmap b =
            atTime(scene)
                ? interpolatedSurfaceAtTime(view, *scene.wind, scene.windFrame, *scene.windField,
                                            scene.displayTime, coloring)
                : interpolatedSurfaceAtRecord(view, *scene.wind, scene.windFrame, coloring);
        if (b.empty()) return;
        const QRectF target(QPointF(b.x0, b.y0), QPointF(b.x1, b.y1));
        // A bitmap within a pixel of its rectangle is copied as it is: stretching it would
        // move no colour by more than a pixel and costs as much as the sampling. Its sampled
        // blocks are opaque, so they are copied as such; the odd last row or column, never
        // written, stays out.
        if (std::fabs(target.width() - b.width) < 1 && std::fabs(target.height() - b.height) < 1) {
            const QImage opaque(reinterpret_cast<const uchar*>(b.pixels.data()), b.width, b.height,
                                b.width * 4, QImage::Format_RGB32);
            painter.drawImage(QPointF(std::round(b.x0), std::round(b.y0)), opaque,
                              QRectF(0, 0, b.width & ~1, b.height & ~1));
            return;
        }
        const QImage image(reinterpret_cast<const uchar*>(b.pixels.data()), b.width, b.height,
                           b.width * 4, QImage::Format_ARGB32_Premultiplied);
        painter.save();
        painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
        painter.drawImage(target, image);
        painter.restore();
        return;
    }
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const std::vector<SurfaceCell> cells =
        atTime(scene) ? cellSurfaceAtTime(view, *scene.wind, scene.windFrame, *scene.windField,
                                          scene.displayTime, coloring)
                      : cellSurfaceAtRecord(view, *scene.wind, scene.windFrame, coloring);
    for (const SurfaceCell& c : cells)
        painter.fillRect(QRectF(QPointF(c.x0, c.y0), QPointF(c.x1, c.y1)),
                         QColor::fromRgba(c.argb));
    painter.restore();
}

void paintWindSymbols(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const WindSettings& ws = scene.settings->winds;
    if (!ws.showArrows || (!scene.uniqueWind && !haveForecast(scene))) return;
    const int space = std::max(10, ws.spaceBetweenArrows);
    const double length = std::max(1, ws.lengthArrow);
    // Over a wind surface the symbols are black; on the plain sea they take the wind's colour.
    const bool black = surfaceShown(scene) || !scene.windColors;
    QPen pen(Qt::black, std::max(0.5, black ? ws.thicknessArrowBlack : ws.thicknessArrowColored));
    pen.setCapStyle(Qt::RoundCap);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen);
    for (int y = 0; y < view.height + ws.lengthArrow; y += space) {
        for (int x = 0; x < view.width + ws.lengthArrow; x += space) {
            double direction, speed;
            if (!symbolWind(view, scene, x, y, direction, speed)) continue;
            if (!black) {
                const OpaqueColor c = windColor(*scene.windColors, true, speed, false);
                pen.setColor(QColor(c.red, c.green, c.blue));
                painter.setPen(pen);
            }
            const double theta = windScreenAngle(direction);
            if (ws.showWindBarbs)
                paintBarb(painter, QPointF(x, y), theta, speed, 2 * length, ws.lengthBarb);
            else
                paintArrow(painter, QPointF(x, y), theta, length, ws.arrowCentered);
        }
    }
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

// The cells of the forecast's grid: lines through its points, bounded by its area.
void paintWindZones(QPainter& painter, const MapView& view, const ChartScene& scene) {
    if (!scene.settings->winds.showZones || scene.uniqueWind || !haveForecast(scene)) return;
    const FrameGeometry& g = scene.wind->geometry(scene.windFrame);
    if (g.nx < 2 || g.ny < 2) return;
    const double west = g.minLon, east = g.minLon + g.lonSpan;
    const double stepLon = g.lonSpan / (g.nx - 1), stepLat = g.latSpan / (g.ny - 1);
    double x0, y0, x1, y1;
    view.project(longitudeIntoView(view, (west + east) / 2) - (east - west) / 2, g.maxLat, x0, y0);
    view.project(longitudeIntoView(view, (west + east) / 2) + (east - west) / 2, g.minLat, x1, y1);
    const double dx = stepLon * view.scale;
    painter.setPen(QPen(bgr(scene.settings->winds.colorZones), 1));
    painter.setBrush(Qt::NoBrush);
    painter.setRenderHint(QPainter::Antialiasing, false);
    // Cells narrower than 4 pixels would only grey the chart: the area's outline stays.
    if (dx >= 4) {
        for (int i = 0; i < g.nx; ++i) {
            const double x = x0 + i * dx;
            if (x < 0 || x > view.width) continue;
            painter.drawLine(QPointF(x, std::max(0.0, y0)),
                             QPointF(x, std::min<double>(view.height, y1)));
        }
    }
    for (int j = 0; j < g.ny; ++j) {
        double x, y;
        view.project(0, g.minLat + j * stepLat, x, y);
        if (y < 0 || y > view.height) continue;
        if (dx >= 4 || j == 0 || j == g.ny - 1)
            painter.drawLine(QPointF(std::max(0.0, x0), y),
                             QPointF(std::min<double>(view.width, x1), y));
    }
    if (dx < 4) painter.drawRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)));
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

// A column of coloured boxes at the right edge with their lower bounds in knots.
void paintWindScale(QPainter& painter, const MapView& view, const ChartScene& scene) {
    if (!scene.settings->winds.showScale || !scene.windColors) return;
    const WindColorRamp& ramp = *scene.windColors;
    if (ramp.scale.empty()) return;
    const int box = 16, n = static_cast<int>(ramp.scale.size());
    const double left = view.width - 46.0, top = 60;
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    // A light backing keeps the labels readable over the wind symbols.
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawRoundedRect(QRectF(left - 4, top - 6, 48, n * box + 12), 4, 4);
    painter.setPen(QPen(QColor(60, 60, 60), 1));
    painter.setBrush(Qt::NoBrush);
    for (int j = 0; j < n; ++j) {
        const OpaqueColor& c = ramp.scale[static_cast<std::size_t>(j)];
        const QRectF r(left + 22, top + j * box, box, box);
        painter.fillRect(r, QColor(c.red, c.green, c.blue));
        painter.drawRect(r);
        char label[16];
        std::snprintf(label, sizeof label, "%02d", j * ramp.interval);
        painter.drawText(QRectF(left, top + j * box, 20, box), Qt::AlignRight | Qt::AlignVCenter,
                         label);
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

void paintChart(QPainter& painter, const MapView& view, const ChartScene& scene) {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    painter.fillRect(QRectF(0, 0, view.width, view.height), bgr(scene.settings->map.colorSea));
    // Everything else needs the wind store of the end of the start-up.
    if (scene.wind) {
        paintWindSurface(painter, view, scene);
        if (scene.waves && scene.showWaves)
            drawWaveLayer(painter, view, *scene.waves, scene.displayTime);
        paintShorelines(painter, view, scene);
        if (scene.tss && view.level >= 2)
            drawTssZones(painter, view, scene.tss->outlines, scene.settings->tssColor);
        paintMapGrid(painter, view, scene);
        if (const CurrentField* field = currentField(scene);
            field && scene.settings->routing.currents && scene.settings->currents.showZones)
            drawCurrentZones(painter, view, *field);
        paintWindZones(painter, view, scene);
        paintCurrents(painter, view, scene);
        paintWindSymbols(painter, view, scene);
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
