#include "render/shore_layer.h"

#include "geo/shoreline_store.h"
#include "settings/config_store.h"

#include <QPainter>
#include <QPolygonF>
#include <QTransform>

#include <algorithm>
#include <cmath>

namespace navorel {

namespace {

QColor bgr(int c) {
    return QColor(c & 0xff, (c >> 8) & 0xff, (c >> 16) & 0xff);
}

QPointF chartPoint(const GeoPoint& p) {
    return {p.lon, -mercatorDegrees(p.lat)};
}

void addContours(QPainterPath& path, const std::vector<ShorelineContour>& contours) {
    for (const ShorelineContour& c : contours) {
        if (c.vertices.size() < 3) continue;
        QPolygonF polygon;
        polygon.reserve(static_cast<qsizetype>(c.vertices.size()));
        for (const GeoPoint& p : c.vertices) polygon << chartPoint(p);
        path.addPolygon(polygon);
        path.closeSubpath();
    }
}

// The coastline proper: every edge of `contours` except those the cell cut along its border.
void addCoast(QPainterPath& path, const ShorelineCell& cell,
              const std::vector<ShorelineContour>& contours) {
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
            if (!drawing) {
                path.moveTo(chartPoint(a));
                drawing = true;
            }
            path.lineTo(chartPoint(b));
        }
    }
}

// `part` added to `to`, moved east by `shift` degrees.
void addShifted(QPainterPath& to, const QPainterPath& part, double shift) {
    if (part.isEmpty()) return;
    if (shift == 0)
        to.addPath(part);
    else
        to.addPath(part.translated(shift, 0));
}

} // namespace

const ShorePaths::Cell& ShorePaths::cell(const ShorelineStore& store, int lonIndex, int latIndex) {
    std::unordered_map<int, Cell>& cells = cells_[level_];
    const int key = wrapLonIndex(lonIndex) * 256 + latIndex + 90;
    auto found = cells.find(key);
    if (found != cells.end()) return found->second;
    const ShorelineCell& c = store.cellAt(lonIndex, latIndex);
    Cell made;
    addContours(made.land, c.land);
    addContours(made.lakes, c.lakes);
    addCoast(made.coastLand, c, c.land);
    addCoast(made.coastLakes, c, c.lakes);
    return cells.emplace(key, std::move(made)).first->second;
}

ShorePaths::Paths ShorePaths::join(const ShorelineStore& store, const Range& range, bool lakes,
                                   bool coast) {
    Paths p;
    p.land.setFillRule(Qt::WindingFill);
    p.lakes.setFillRule(Qt::WindingFill);
    for (int i = range.firstLon; i < range.lastLon; ++i) {
        const double shift = i - wrapLonIndex(i);
        for (int j = range.firstLat; j < range.lastLat; ++j) {
            const Cell& c = cell(store, i, j);
            addShifted(p.land, c.land, shift);
            // Hidden lakes stay land, as the land test counts them.
            if (lakes) addShifted(p.lakes, c.lakes, shift);
            if (coast) {
                addShifted(p.coast, c.coastLand, shift);
                if (lakes) addShifted(p.coast, c.coastLakes, shift);
            }
        }
    }
    return p;
}

void ShorePaths::use(const ShorelineStore& store) {
    if (&store != store_) {
        cells_.clear();
        store_ = &store;
        joined_ = false;
    }
    if (store.level() != level_) {
        level_ = store.level();
        joined_ = false;
    }
}

ShorePaths::Paths ShorePaths::part(const ShorelineStore& store, const Range& range, bool lakes,
                                   bool coast) {
    use(store);
    return join(store, range, lakes, coast);
}

const ShorePaths::Paths& ShorePaths::paths(const ShorelineStore& store, const Range& range,
                                           bool lakes, bool coast) {
    use(store);
    if (joined_ && range == range_ && lakes == lakes_ && coast == coast_) return joinedPaths_;
    Paths p = join(store, range, lakes, coast);
    joinedPaths_ = std::move(p);
    range_ = range;
    lakes_ = lakes;
    coast_ = coast;
    joined_ = true;
    ++joins_;
    return joinedPaths_;
}

std::size_t ShorePaths::cellsHeld(int level) const {
    const auto found = cells_.find(level);
    return found == cells_.end() ? 0 : found->second.size();
}

bool shoreRange(const MapView& view, ShorePaths::Range& range) {
    range.firstLon = static_cast<int>(std::floor(view.westLon));
    range.lastLon = std::max(range.firstLon + 1, static_cast<int>(std::ceil(view.eastLon)));
    range.firstLat = std::max(-90, static_cast<int>(std::floor(view.southLat)));
    range.lastLat = std::min(90, static_cast<int>(std::ceil(view.northLat)));
    return range.lastLon - range.firstLon <= 720;
}

void paintShorelines(QPainter& painter, const MapView& view, const MapSettings& map,
                     ShorelineStore& store, ShorePaths& paths) {
    if (!map.showLand && !map.showShorelines) return;
    store.openLevel(view.level);
    if (!store.hasFile()) return;
    ShorePaths::Range range;
    if (!shoreRange(view, range)) return; // a view wider than the globe twice is not sensible
    // Drawn within a part of the view (the strips a pan uncovers): only the cells that can
    // reach it, a stroke's width round it. Each cell's shapes lie within the cell, so the
    // pixels there are those of the whole view's drawing.
    ShorePaths::Range within = range;
    if (painter.hasClipping()) {
        const QRectF clip = painter.clipBoundingRect().adjusted(-3, -3, 3, 3);
        double lon, north, south;
        view.unproject(clip.left(), clip.top(), lon, north);
        view.unproject(clip.right(), clip.bottom(), lon, south);
        // Longitudes unwrapped, as the view's range counts them.
        const double west = (clip.left() - view.transX) / view.scale;
        const double east = (clip.right() - view.transX) / view.scale;
        within.firstLon = std::max(range.firstLon, static_cast<int>(std::floor(west)));
        within.lastLon = std::min(range.lastLon, static_cast<int>(std::ceil(east)));
        within.firstLat = std::max(range.firstLat, static_cast<int>(std::floor(south)));
        within.lastLat = std::min(range.lastLat, static_cast<int>(std::ceil(north)));
        if (within.lastLon <= within.firstLon || within.lastLat <= within.firstLat) return;
    }
    ShorePaths::Paths part;
    if (!(within == range)) part = paths.part(store, within, map.showLakes, map.showShorelines);
    const ShorePaths::Paths& p =
        within == range ? paths.paths(store, range, map.showLakes, map.showShorelines) : part;
    painter.save();
    // Chart coordinates to pixels: x = Tx + S lon, y = Ty - S mercator(lat).
    painter.setTransform(QTransform(view.scale, 0, 0, view.scale, view.transX, view.transY), true);
    // The coast is stroked first and the land filled over it, so the coastline shows on the
    // sea side of the land's edge.
    if (map.showShorelines) {
        QPen pen(bgr(map.colorCoast), 1.5);
        pen.setCosmetic(true);
        painter.setBrush(Qt::NoBrush);
        painter.setPen(pen);
        painter.drawPath(p.coast);
    }
    if (map.showLand) {
        painter.fillPath(p.land, bgr(map.colorLand));
        if (map.showLakes) painter.fillPath(p.lakes, bgr(map.colorSea));
    }
    painter.restore();
}

} // namespace navorel
