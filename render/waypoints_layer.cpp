#include "render/waypoints_layer.h"

#include "render/chart_painter.h"
#include "render/map_view.h"

#include <QPainter>

#include <cmath>

namespace navorel {

void drawWaypoints(QPainter& painter, const MapView& view, const WaypointSet& set, int type,
                   int colour) {
    const QColor c(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
    painter.save();
    QFont font = painter.font();
    font.setPixelSize(12);
    painter.setFont(font);
    const QFontMetricsF metrics(font);
    for (std::size_t i = 0; i < set.positions.size(); ++i) {
        const GeoPoint& p = set.positions[i];
        // A waypoint file may hold any number; the poles lie at infinity on the chart.
        if (!std::isfinite(p.lon) || !(std::fabs(p.lat) < 90)) continue;
        double x, y;
        view.project(longitudeIntoView(view, p.lon), p.lat, x, y);
        const QPointF at(x, y);
        const QString name =
            type != 0 && i < set.names.size() ? QString::fromStdString(set.names[i]) : QString();
        // The name runs to the right of the symbol: a waypoint left of the view still shows
        // it.
        const double reach = name.isEmpty() ? 0 : metrics.horizontalAdvance(name) + 8;
        if (x < -20 - reach || y < -20 || x > view.width + 20 || y > view.height + 20) continue;
        painter.setPen(QPen(c, 1.5));
        switch (type) {
        case 1: // a cross
            painter.drawLine(at + QPointF(-5, -5), at + QPointF(5, 5));
            painter.drawLine(at + QPointF(-5, 5), at + QPointF(5, -5));
            break;
        case 2: { // a flag on its pole
            painter.drawLine(at, at + QPointF(0, -14));
            const QPointF flag[3] = {at + QPointF(0, -14), at + QPointF(9, -11),
                                     at + QPointF(0, -8)};
            painter.setBrush(c);
            painter.drawPolygon(flag, 3);
            painter.setBrush(Qt::NoBrush);
            break;
        }
        default: // a ringed dot
            painter.setBrush(Qt::white);
            painter.drawEllipse(at, 4.0, 4.0);
            painter.setBrush(c);
            painter.drawEllipse(at, 2.0, 2.0);
            painter.setBrush(Qt::NoBrush);
            break;
        }
        if (!name.isEmpty()) painter.drawText(at + QPointF(8, -4), name);
    }
    painter.restore();
}

} // namespace navorel
