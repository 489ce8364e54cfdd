#include "render/wind_layer.h"

#include "render/wind_surface.h"
#include "render/wind_symbols.h"
#include "settings/config_store.h"
#include "weather/color_table.h"
#include "weather/wind_sampler.h"
#include "weather/wind_store.h"

#include <QPainter>

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

// The thinnest line of the wind symbols, just wider than the cosmetic stroker's pixel.
constexpr double kStrokedWidth = 1.02;

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

// The whole pixels of the view the painter draws in.
PixelRect clipOf(const QPainter& painter, const MapView& view) {
    QRect r(0, 0, view.width, view.height);
    if (painter.hasClipping()) r &= painter.clipBoundingRect().toAlignedRect();
    return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()};
}

bool haveForecast(const ChartScene& scene) {
    return scene.wind && !scene.wind->empty() && scene.windFrame >= 0 &&
           scene.windFrame < static_cast<int>(scene.wind->frames().size());
}

} // namespace

bool windSurfaceShown(const ChartScene& scene) {
    const WindSettings& ws = scene.settings->winds;
    return ws.showSurfaceGradient || ws.showSurfaceNoGradient;
}

void paintWindSurface(QPainter& painter, const MapView& view, const ChartScene& scene) {
    const WindSettings& ws = scene.settings->winds;
    if (!windSurfaceShown(scene) || !scene.windColors) return;
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
        // Only the pixels the painter is clipped to are sampled (the strips a pan uncovers).
        const PixelRect clip = clipOf(painter, view);
        // The pixels of the last surface drawn on this thread are coloured anew.
        static thread_local std::vector<std::uint32_t> room;
        SurfaceBitmap b =
            atTime(scene)
                ? interpolatedSurfaceAtTime(view, *scene.wind, scene.windFrame, *scene.windField,
                                            scene.displayTime, coloring, clip)
                : interpolatedSurfaceAtRecord(view, *scene.wind, scene.windFrame, coloring, clip,
                                              std::move(room));
        if (b.empty()) return;
        {
            // Every pixel is coloured and opaque: the bitmap is copied as it is.
            const QImage opaque(reinterpret_cast<const uchar*>(b.pixels.data()), b.width, b.height,
                                b.width * 4, QImage::Format_RGB32);
            painter.drawImage(QPointF(b.x0, b.y0), opaque);
        }
        room = std::move(b.pixels);
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
    const bool black = windSurfaceShown(scene) || !scene.windColors;
    // Lines of a pixel or less would go to Qt's cosmetic stroker, which clips each line at the
    // image's edge before shading it: a line across the edge comes out shaded a little unlike
    // the same line within, and an image moved by a pan would differ from one drawn afresh. A
    // hair wider, they go to the path stroker, which shades a shape the same wherever it lies.
    const double thickness = black ? ws.thicknessArrowBlack : ws.thicknessArrowColored;
    QPen pen(Qt::black, std::max(kStrokedWidth, thickness));
    pen.setCapStyle(Qt::RoundCap);
    painter.setBrush(Qt::NoBrush);
    painter.setPen(pen);
    // The symbols stand on whole pixels of a grid counted from the chart's origin (longitude 0,
    // the equator), so that a view moved by whole pixels shows them moved with the chart. Those
    // whose shape can reach into the pixels drawn (the painter's clip) are drawn.
    const PixelRect clip = clipOf(painter, view);
    const double originX = std::floor(view.transX), originY = std::floor(view.transY);
    const double reach = 2 * length + std::max(0, ws.lengthBarb) + pen.widthF() + 5;
    const auto first = [&](int edge, double origin) {
        return static_cast<long long>(std::ceil((edge - reach - origin) / space));
    };
    const auto last = [&](int edge, double origin) {
        return static_cast<long long>(std::floor((edge + reach - origin) / space));
    };
    const long long row0 = first(clip.y0, originY), row1 = last(clip.y1, originY);
    const long long column0 = first(clip.x0, originX), column1 = last(clip.x1, originX);
    for (long long row = row0; row <= row1 && clip.y1 > clip.y0; ++row) {
        const double y = originY + static_cast<double>(row * space);
        for (long long column = column0; column <= column1 && clip.x1 > clip.x0; ++column) {
            const double x = originX + static_cast<double>(column * space);
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

// Lines through the grid's points, bounded by its area.
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

// A column of coloured boxes with their lower bounds in knots.
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

} // namespace navorel
