#include "render/cities_layer.h"

#include "geo/cities.h"
#include "render/map_view.h"

#include <QFontMetricsF>
#include <QPainter>

#include <algorithm>
#include <vector>

namespace navorel {

bool placeLabel(std::vector<QRectF>& taken, std::initializer_list<QRectF> candidates,
                QRectF& chosen) {
    for (const QRectF& box : candidates) {
        if (std::any_of(taken.begin(), taken.end(),
                        [&box](const QRectF& r) { return r.intersects(box); }))
            continue;
        taken.push_back(box);
        chosen = box;
        return true;
    }
    return false;
}

void drawCities(QPainter& painter, const MapView& view, const CityStore& store,
                const CitySwitches& kinds, int colour, std::vector<QRectF>* labels) {
    struct Shown {
        const CityRecord* town;
        double x, y;
    };
    std::vector<Shown> shown;
    const CityView area{view.westLon, view.eastLon, view.southLat, view.northLat, view.scale};
    forEachVisibleCity(store, area, kinds, [&](const CityRecord& town, double lon) {
        double x, y;
        view.project(lon, town.lat, x, y);
        shown.push_back({&town, x, y});
    });
    if (shown.empty()) return;

    const QColor c(colour & 0xff, (colour >> 8) & 0xff, (colour >> 16) & 0xff);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    for (const Shown& s : shown) painter.fillRect(QRectF(s.x - 2, s.y - 2, 4, 4), c);

    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    painter.setPen(c);
    const QFontMetricsF metrics(font);
    std::stable_sort(shown.begin(), shown.end(), [](const Shown& a, const Shown& b) {
        return a.town->population > b.town->population;
    });
    std::vector<QRectF> taken;
    for (const Shown& s : shown) {
        const QString name =
            QString::fromUtf8(s.town->name.data(), static_cast<qsizetype>(s.town->name.size()));
        const double width = std::min(200.0, metrics.horizontalAdvance(name));
        const double height = std::min(20.0, metrics.height());
        QRectF box;
        if (!placeLabel(taken, {QRectF(s.x - width * 0.5, s.y, width, height)}, box)) continue;
        painter.drawText(box, Qt::AlignHCenter | Qt::AlignTop | Qt::TextSingleLine, name);
    }
    painter.restore();
    if (labels) labels->insert(labels->end(), taken.begin(), taken.end());
}

} // namespace navorel
