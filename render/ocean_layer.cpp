#include "render/ocean_layer.h"

#include "core/geodesy.h"
#include "render/currents_layer.h"
#include "render/map_view.h"
#include "weather/current_sample.h"
#include "weather/ocean_fields.h"

#include <QImage>
#include <QPainter>

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace navorel {

namespace {

// The wave legend's steps, metres, and their colours.
struct WaveStop {
    double metres;
    QColor colour;
};
const WaveStop kWaveStops[] = {{0, {150, 200, 255}}, {1, {90, 160, 240}}, {2, {60, 190, 200}},
                               {3, {80, 200, 110}},  {4, {190, 220, 60}}, {5, {250, 210, 50}},
                               {6, {250, 150, 40}},  {7, {240, 90, 40}},  {9, {200, 30, 60}},
                               {12, {130, 20, 110}}};
constexpr int kWaveStopCount = static_cast<int>(std::size(kWaveStops));

// Pixels of one cell of the wave layer.
constexpr int kWaveCell = 6;

// A longitude in -180..180, as the forecast grids hold them.
double into180(double lon) {
    return std::remainder(lon, 360.0);
}

} // namespace

void drawForecastCurrentArrows(QPainter& painter, const MapView& view, const CurrentSource& source,
                               double time) {
    const int step = kForecastArrowSpacing;
    for (int y = step / 2; y < view.height; y += step)
        for (int x = step / 2; x < view.width; x += step) {
            double lon, lat;
            view.unproject(x, y, lon, lat);
            const CurrentSample c =
                source.currentAt(static_cast<float>(into180(lon)), static_cast<float>(lat), time);
            // An ocean model has a weak drift almost everywhere: below a fifth of a knot no
            // arrow, so that the currents that count stand out.
            if (!c.found || c.speed < kQuietCurrentKnots) continue;
            const double a = c.direction * kDegToRad;
            drawStreamArrow(painter, view, x, y, c.speed * std::sin(a), c.speed * std::cos(a));
        }
}

QColor waveColour(double metres) {
    if (!(metres >= 0)) return Qt::transparent;
    if (metres >= kWaveStops[kWaveStopCount - 1].metres)
        return kWaveStops[kWaveStopCount - 1].colour;
    int k = 0;
    while (metres >= kWaveStops[k + 1].metres) ++k;
    const WaveStop &a = kWaveStops[k], &b = kWaveStops[k + 1];
    const double w = (metres - a.metres) / (b.metres - a.metres);
    return QColor::fromRgbF(a.colour.redF() + (b.colour.redF() - a.colour.redF()) * w,
                            a.colour.greenF() + (b.colour.greenF() - a.colour.greenF()) * w,
                            a.colour.blueF() + (b.colour.blueF() - a.colour.blueF()) * w);
}

void drawWaveLayer(QPainter& painter, const MapView& view, const OceanWaves& waves, double time) {
    const int columns = (view.width + kWaveCell - 1) / kWaveCell;
    const int rows = (view.height + kWaveCell - 1) / kWaveCell;
    if (columns <= 0 || rows <= 0) return;
    // One sample per cell into a small image, drawn smoothly scaled over the view.
    QImage image(columns, rows, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    for (int j = 0; j < rows; ++j) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(j));
        for (int i = 0; i < columns; ++i) {
            double lon, lat;
            view.unproject((i + 0.5) * kWaveCell, (j + 0.5) * kWaveCell, lon, lat);
            const WaveSample w =
                waves.waveAt(static_cast<float>(into180(lon)), static_cast<float>(lat), time);
            if (!w.found) continue;
            QColor c = waveColour(w.height);
            c.setAlpha(170);
            line[i] = c.rgba();
        }
    }
    painter.save();
    painter.setRenderHint(QPainter::SmoothPixmapTransform, true);
    painter.drawImage(QRectF(0, 0, columns * kWaveCell, rows * kWaveCell), image);
    painter.restore();
}

void drawWaveScale(QPainter& painter, const MapView& view) {
    QFont font = painter.font();
    font.setPixelSize(11);
    painter.setFont(font);
    const int n = kWaveStopCount;
    // Above the stream scale (seven rows of 16 pixels and its margins).
    const double left = 10, top = view.height - 7 * 16.0 - 10 - 22 - n * 16.0;
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(255, 255, 255, 200));
    painter.drawRoundedRect(QRectF(left - 4, top - 6, 70, n * 16 + 12), 4, 4);
    painter.setBrush(Qt::NoBrush);
    for (int j = 0; j < n; ++j) {
        const QRectF r(left, top + j * 16, 16, 16);
        painter.fillRect(r, kWaveStops[j].colour);
        painter.setPen(QPen(QColor(60, 60, 60), 1));
        painter.drawRect(r);
        char label[16];
        std::snprintf(label, sizeof label, "%g m", kWaveStops[j].metres);
        painter.drawText(QRectF(left + 20, top + j * 16, 50, 16), Qt::AlignLeft | Qt::AlignVCenter,
                         label);
    }
}

} // namespace navorel
