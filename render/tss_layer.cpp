#include "render/tss_layer.h"

#include "render/map_view.h"

#include <QPainter>
#include <QPainterPath>
#include <QPolygonF>

#include <cmath>

namespace navorel {

namespace {

bool inView(const MapView& view, double lon, double lat) {
    return view.southLat <= lat && lat <= view.northLat && view.westLon <= lon &&
           lon <= view.eastLon;
}

} // namespace

void drawTssZones(QPainter& painter, const MapView& view, const ZoneOutlines& outlines,
                  int colour) {
    QPainterPath path;
    path.setFillRule(Qt::WindingFill);
    const double centre = (view.westLon + view.eastLon) / 2;
    const bool clipped = painter.hasClipping();
    const QRectF clip = clipped ? painter.clipBoundingRect().adjusted(-2, -2, 2, 2) : QRectF();
    for (const auto& outline : outlines) {
        bool visible = false;
        for (const GeoPoint& p : outline)
            if (inView(view, p.lon, p.lat) || inView(view, p.lon + 360.0, p.lat) ||
                inView(view, p.lon - 360.0, p.lat)) {
                visible = true;
                break;
            }
        if (!visible || outline.size() < 2) continue;
        QPolygonF figure;
        for (const GeoPoint& p : outline) {
            double lon = p.lon;
            if (lon < view.westLon || lon > view.eastLon)
                lon = centre + std::remainder(lon - centre, 360.0);
            double x, y;
            view.project(lon, p.lat, x, y);
            figure << QPointF(x, y);
        }
        // Drawn within a part of the view (a strip a pan uncovers), the figures away from it
        // are left out: they shade none of its pixels.
        if (clipped && !figure.boundingRect().intersects(clip)) continue;
        path.addPolygon(figure);
        path.closeSubpath();
    }
    if (path.isEmpty()) return;
    painter.fillPath(path, QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff));
}

} // namespace navorel
