#include "render/currents_layer.h"

#include "render/chart_painter.h"
#include "render/cities_layer.h"
#include "render/map_view.h"
#include "weather/current_field.h"
#include "weather/tide_harmonics.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>

#include <algorithm>
#include <cmath>
#include <numbers>

namespace navorel {

const QColor kStreamColours[7] = {{128, 128, 128}, {65, 105, 225}, {0, 0, 128}, {144, 238, 144},
                                  {0, 128, 0},     {255, 165, 0},  {255, 0, 0}};
// Near black: every colour of the wind scales (light blue to purple) is far lighter.
const QColor kStreamOutline{20, 20, 20};

int streamClass(double knots) {
    // The classes are open intervals: a speed on a bound draws nothing.
    static const double bounds[] = {0, 0.5, 1.5, 2.5, 3.5, 4.5, 5.5};
    int k = -1;
    for (int i = 0; i < 7; ++i)
        if (knots > bounds[i] && (i == 6 || knots < bounds[i + 1])) k = i;
    return k;
}

void drawStreamArrow(QPainter& painter, const MapView& view, double x, double y, double east,
                     double north) {
    const double q = 0.005 * std::clamp(view.scale, 500.0, 1600.0);
    const double width = 0.0015 * view.scale;
    const double v = std::sqrt(east * east + north * north);
    const int k = streamClass(v);
    if (k < 0) return;
    const double r = std::clamp(v * q, 5.0, 15.0);
    const double a = std::atan2(east, north) + 3 * std::numbers::pi / 2;
    const QPointF tip(x + r * std::cos(a), y + r * std::sin(a));
    const QPointF lines[] = {
        QPointF(x - r * std::cos(a), y - r * std::sin(a)),
        tip,
        tip,
        tip + 0.7 * r *
                  QPointF(std::cos(a + 7 * std::numbers::pi / 8),
                          std::sin(a + 7 * std::numbers::pi / 8)),
        tip,
        tip - 0.7 * r *
                  QPointF(std::cos(a + std::numbers::pi / 8), std::sin(a + std::numbers::pi / 8))};
    // The rim first, the class colour over it.
    const double w = std::clamp(width * v, 1.0, 3.0);
    QPen pen(kStreamOutline, w + 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    painter.setPen(pen);
    painter.drawLines(lines, 3);
    pen.setColor(kStreamColours[k]);
    pen.setWidthF(w);
    painter.setPen(pen);
    painter.drawLines(lines, 3);
}

void drawCurrentZones(QPainter& painter, const MapView& view, const CurrentField& field) {
    painter.setBrush(Qt::NoBrush);
    for (const CurrentFile& f : field.files) {
        if (f.points.empty()) continue;
        const QColor colour = QColor::fromRgbF(f.red, f.green, f.blue);
        const double centre = longitudeIntoView(view, (f.minLon + f.maxLon) / 2.0);
        double x0, y0, x1, y1;
        view.project(centre - f.lonSpan / 2.0, f.maxLat, x0, y0);
        view.project(centre + f.lonSpan / 2.0, f.minLat, x1, y1);
        QColor fill = colour;
        fill.setAlpha(40);
        painter.fillRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)), fill);
        painter.setPen(QPen(colour, 1.5));
        painter.drawRect(QRectF(QPointF(x0, y0), QPointF(x1, y1)));
    }
}

void drawCurrentArrows(QPainter& painter, const MapView& view, const CurrentField& field,
                       const TideHarmonics& tides, double time) {
    for (const CurrentFile& f : field.files) {
        const TableState state = tides.tableState(f.port, time);
        if (!state.valid) continue;
        const double h = f.fromHigh ? state.hoursFromHigh : state.hoursFromLow;
        for (const CurrentPoint& p : f.points) {
            double lon = p.lon;
            if (lon < view.westLon || lon > view.eastLon) {
                if (view.eastLon > 180 && lon + 360 >= view.westLon && lon + 360 <= view.eastLon)
                    lon += 360;
                else
                    continue;
            }
            if (p.lat < view.southLat || p.lat > view.northLat) continue;
            double east, north;
            pointCurrent(p, h, state.coefficient, east, north);
            double x, y;
            view.project(lon, p.lat, x, y);
            drawStreamArrow(painter, view, x, y, east, north);
        }
    }
}

void drawCurrentScale(QPainter& painter, const MapView& view) {
    static const char* const labels[7] = {"< 0.5", "< 1.5", "< 2.5", "< 3.5",
                                          "< 4.5", "< 5.5", "> 5.5"};
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const double left = 10, top = view.height - 7 * 16.0 - 10;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawRoundedRect(QRectF(left - 4, top - 6, 70, 7 * 16 + 12), 4, 4);
    painter.setBrush(Qt::NoBrush);
    for (int j = 0; j < 7; ++j) {
        const QRectF r(left, top + j * 16, 16, 16);
        painter.fillRect(r, kStreamColours[j]);
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.drawRect(r);
        painter.drawText(QRectF(left + 20, top + j * 16, 50, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         labels[j]);
    }
}

void drawTideStations(QPainter& painter, const MapView& view, const TideHarmonics& tides,
                      const QColor& colour, std::vector<QRectF>& labels) {
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    const bool named = view.scale >= 100;
    for (const TideStation& s : tides.stations()) {
        if (s.lat < view.southLat || s.lat > view.northLat) continue;
        double x, y;
        view.project(longitudeIntoView(view, s.lon), s.lat, x, y);
        const QPointF at(x, y);
        if (at.x() < -20 || at.x() > view.width + 20) continue;
        painter.setPen(QPen(colour, 1.5));
        painter.setBrush(Qt::white);
        painter.drawEllipse(at, 5.0, 5.0);
        QPainterPath wave(at + QPointF(-3, 0.5));
        wave.quadTo(at + QPointF(-1.5, -2), at + QPointF(0, 0.5));
        wave.quadTo(at + QPointF(1.5, 3), at + QPointF(3, 0.5));
        painter.setBrush(Qt::NoBrush);
        painter.drawPath(wave);
        if (!named) continue;
        const QString name = QString::fromStdString(s.name);
        const double w = metrics.horizontalAdvance(name), h = metrics.height();
        QRectF box;
        if (placeLabel(labels,
                       {QRectF(at.x() + 8, at.y() - h / 2, w, h),
                        QRectF(at.x() - 8 - w, at.y() - h / 2, w, h),
                        QRectF(at.x() - w / 2, at.y() - 7 - h, w, h),
                        QRectF(at.x() - w / 2, at.y() + 7, w, h)},
                       box))
            painter.drawText(box, Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, name);
    }
}

} // namespace navorel
