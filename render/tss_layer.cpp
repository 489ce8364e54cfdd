#include "render/tss_layer.h"

#include "render/map_view.h"

#include <QPainter>
#include <QPainterPath>

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
    for (const auto& outline : outlines) {
        bool visible = false;
        for (const GeoPoint& p : outline)
            if (inView(view, p.lon, p.lat) || inView(view, p.lon + 360.0, p.lat) ||
                inView(view, p.lon - 360.0, p.lat)) {
                visible = true;
                break;
            }
        if (!visible || outline.size() < 2) continue;
        bool first = true;
        for (const GeoPoint& p : outline) {
            double lon = p.lon;
            if (lon < view.westLon || lon > view.eastLon)
                lon = centre + std::remainder(lon - centre, 360.0);
            double x, y;
            view.project(lon, p.lat, x, y);
            if (first)
                path.moveTo(x, y);
            else
                path.lineTo(x, y);
            first = false;
        }
        path.closeSubpath();
    }
    if (path.isEmpty()) return;
    painter.fillPath(path, QColor(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff));
}

} // namespace navorel
