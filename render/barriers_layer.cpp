#include "render/barriers_layer.h"

#include "render/chart_painter.h"
#include "render/map_view.h"

#include <QPainter>
#include <QPolygonF>

#include <algorithm>
#include <cmath>

namespace navorel {

namespace {

// Where a point that cannot be drawn (a latitude or longitude that is not a number) is kept
// in the screen copy: far off the chart, so the mouse never finds it.
constexpr double kNowhere = -1e9;

bool drawable(const ScreenPoint& p) {
    return p.x != kNowhere;
}

} // namespace

BarrierScreenCopy barrierScreenPositions(const MapView& view, const BarrierList& barriers) {
    BarrierScreenCopy screen;
    screen.reserve(barriers.size());
    for (const Barrier& b : barriers) {
        std::vector<ScreenPoint>& points = screen.emplace_back();
        points.reserve(b.points.size());
        bool first = true;
        double previousLon = 0;
        for (const GeoPoint& p : b.points) {
            if (!std::isfinite(p.lon) || !std::isfinite(p.lat)) {
                points.push_back({kNowhere, kNowhere});
                continue;
            }
            const double lon = first ? longitudeIntoView(view, p.lon)
                                     : previousLon + std::remainder(p.lon - previousLon, 360.0);
            first = false;
            previousLon = lon;
            // The poles lie at infinity on the chart.
            const double lat = std::clamp(static_cast<double>(p.lat), -89.9, 89.9);
            ScreenPoint s;
            view.project(lon, lat, s.x, s.y);
            points.push_back(s);
        }
    }
    return screen;
}

void drawBarriers(QPainter& painter, const MapView& view, const BarrierList& barriers,
                  const BarrierStyle& style, BarrierScreenCopy* screen) {
    BarrierScreenCopy positions = barrierScreenPositions(view, barriers);
    const QColor colour(style.colour & 0xff, (style.colour >> 8) & 0xff,
                        (style.colour >> 16) & 0xff);
    painter.save();
    painter.setBrush(Qt::NoBrush);
    for (std::size_t i = 0; i < positions.size(); ++i) {
        const bool selected = static_cast<int>(i) == style.selectedBarrier;
        QPolygonF line;
        for (const ScreenPoint& s : positions[i])
            if (drawable(s)) line << QPointF(s.x, s.y);
        painter.setPen(QPen(colour, selected ? kSelectedBarrierWidth : kBarrierWidth, Qt::SolidLine,
                            Qt::RoundCap, Qt::RoundJoin));
        // A barrier of one point is a dot: it stops nothing, but it is there to be extended.
        if (line.size() == 1)
            painter.drawPoint(line.front());
        else
            painter.drawPolyline(line);
        if (!style.editing && !selected) continue;
        const double half = kBarrierVertexSide / 2;
        painter.setPen(QPen(colour, 1.5));
        for (std::size_t k = 0; k < positions[i].size(); ++k) {
            const ScreenPoint& s = positions[i][k];
            if (!drawable(s)) continue;
            const bool marked = selected && static_cast<int>(k) == style.selectedPoint;
            // Hollow squares on the sea, the selected vertex filled and larger.
            painter.setBrush(marked ? QBrush(colour) : QBrush(Qt::white));
            const double h = marked ? half + 1.5 : half;
            painter.drawRect(QRectF(s.x - h, s.y - h, 2 * h, 2 * h));
        }
        painter.setBrush(Qt::NoBrush);
    }
    painter.restore();
    if (screen) *screen = std::move(positions);
}

} // namespace navorel
